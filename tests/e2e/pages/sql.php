<?php
// Runs the statements given as q[] in order on one connection and prints for each "ok" or
// "error <code>", then one "row <values joined by |>" line for each row it gave. Used by the
// database server's end-to-end tests.
mysqli_report(MYSQLI_REPORT_OFF);
$db = @new mysqli('127.0.0.1', 'root', '', '', (int) ini_get('mysqli.default_port'));
if ($db->connect_errno) { http_response_code(503); exit("no database"); }
foreach (isset($_GET['q']) ? (array) $_GET['q'] : array() as $sql) {
    $result = $db->query($sql);
    if ($result === false) { echo "error {$db->errno}\n"; continue; }
    echo "ok\n";
    if ($result instanceof mysqli_result)
        while ($row = $result->fetch_row()) echo "row ", implode("|", $row), "\n";
}
