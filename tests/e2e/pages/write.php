<?php
// Writes the row "id" into an InnoDB and an Aria table and answers "ok" once both are committed:
// the writer of the consistent-copy test.
mysqli_report(MYSQLI_REPORT_OFF);
$db = @new mysqli('127.0.0.1', 'root', '', 'shop', (int) ini_get('mysqli.default_port'));
if ($db->connect_errno) { http_response_code(503); exit("no database"); }
$id = (int) $_GET['id'];
$pad = str_repeat('x', 500);
if ($db->query("INSERT INTO orders VALUES ($id, '$pad')") && $db->query("INSERT INTO visits VALUES ($id, '$pad')"))
    echo "ok";
else { http_response_code(500); echo "error {$db->errno}"; }
