<?php
// Inserts row "id" into an InnoDB, an Aria and a MyISAM table and answers "committed <id>" once all
// three took it; "check" lists CHECK TABLE's status and every row of each table. Used by the stack's
// end-to-end tests and by scripts/soak-stack.py.
mysqli_report(MYSQLI_REPORT_OFF);
$db = @new mysqli('127.0.0.1', 'root', '', '', (int) ini_get('mysqli.default_port'));
if ($db->connect_errno) { http_response_code(503); exit("no database"); }
$db->query("CREATE DATABASE IF NOT EXISTS rows_test");
$db->select_db("rows_test");
foreach (array('InnoDB' => 'innodb_rows', 'Aria' => 'aria_rows', 'MyISAM' => 'myisam_rows') as $engine => $table)
    $db->query("CREATE TABLE IF NOT EXISTS $table (id INT PRIMARY KEY, v VARCHAR(64)) ENGINE=$engine");
if (isset($_GET['id'])) {
    $id = (int) $_GET['id'];
    $ok = $db->query("INSERT INTO innodb_rows VALUES ($id, 'row $id')")
        && $db->query("INSERT INTO aria_rows VALUES ($id, 'row $id')")
        && $db->query("INSERT INTO myisam_rows VALUES ($id, 'row $id')");
    echo $ok ? "committed $id" : "failed " . $db->error;
}
if (isset($_GET['check'])) {
    foreach (array('innodb_rows', 'aria_rows', 'myisam_rows') as $table) {
        // Used first, as an application would: a table a crash left open is recovered on its first use.
        $db->query("SELECT COUNT(*) FROM $table");
        $result = $db->query("CHECK TABLE $table EXTENDED");
        while ($row = $result->fetch_assoc())
            if ($row['Msg_type'] == 'status') echo "check $table {$row['Msg_text']}\n";
        $ids = $db->query("SELECT id FROM $table");
        while ($row = $ids->fetch_row()) echo "row $table {$row[0]}\n";
    }
}
