<?php
// Status page of the local stack: PHP, its configuration and a MySQL round trip.

function h($text)
{
    return htmlspecialchars((string) $text, ENT_QUOTES, 'UTF-8');
}

// Connects to the stack's MySQL and writes and reads one row; gives [ok, message].
function mysql_check()
{
    if (!extension_loaded('mysqli')) {
        return [false, 'MySQL not available: the mysqli extension is not loaded'];
    }
    $port = (int) ini_get('mysqli.default_port');
    if ($port <= 0) {
        return [false, 'MySQL not available: no port configured'];
    }
    mysqli_report(MYSQLI_REPORT_OFF);
    $db = mysqli_init();
    $db->options(MYSQLI_OPT_CONNECT_TIMEOUT, 3);
    // "localhost" goes through the server's socket, which only this account reaches: root needs no
    // password there, also when root needs one over TCP.
    if (!@$db->real_connect('localhost', 'root', '', '', $port)) {
        return [false, 'MySQL not available: ' . mysqli_connect_error()];
    }
    $token = bin2hex(random_bytes(8));
    $ok = $db->query('CREATE DATABASE IF NOT EXISTS corvala_status')
        && $db->select_db('corvala_status')
        && $db->query('CREATE TABLE IF NOT EXISTS visits (id INT AUTO_INCREMENT PRIMARY KEY, '
            . 'token VARCHAR(32) NOT NULL, seen TIMESTAMP DEFAULT CURRENT_TIMESTAMP)')
        && $db->query("INSERT INTO visits (token) VALUES ('$token')");
    if (!$ok) {
        $error = $db->error;
        $db->close();
        return [false, 'MySQL not available: ' . $error];
    }
    $id = (int) $db->insert_id;
    $result = $db->query("SELECT token FROM visits WHERE id = $id");
    $row = $result ? $result->fetch_row() : null;
    // Only the check's own row goes again, so page views do not fill the table.
    $db->query("DELETE FROM visits WHERE id = $id");
    $db->close();
    if (!$row || $row[0] !== $token) {
        return [false, 'MySQL not available: the row written could not be read back'];
    }
    return [true, "MySQL connected on port $port"];
}

// The folders of www that are sites of their own at http://<folder>.localhost:<port>/: names a
// browser sends as they are (one lower-case host label), not the stack's own pages.
function site_folders()
{
    $sites = [];
    foreach (scandir(__DIR__) ?: [] as $name) {
        if (in_array($name, ['phpmyadmin', 'help'], true) || !is_dir(__DIR__ . '/' . $name)
            || strlen($name) > 63 || !preg_match('/^[a-z0-9](?:[a-z0-9-]*[a-z0-9])?$/', $name)) {
            continue;
        }
        $sites[] = $name;
    }
    return $sites;
}

[$mysql_ok, $mysql_message] = mysql_check();
$sites = site_folders();
$port = (int) $_SERVER['SERVER_PORT'];
$ini = php_ini_loaded_file();
?>
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Corvala</title>
<style>
body { font-family: sans-serif; margin: 2em; color: #222; }
h1, h2 { font-weight: normal; }
table { border-collapse: collapse; }
th, td { text-align: left; padding: 0.3em 1em 0.3em 0; vertical-align: top; }
th { color: #555; font-weight: normal; }
.ok { color: #1a7f37; }
.fail { color: #b42318; }
</style>
</head>
<body>
<h1>Corvala</h1>
<p>The local web server is running. Put your own pages into the <code>www</code> folder.</p>
<table>
<tr><th>PHP version</th><td><?= h(PHP_VERSION) ?></td></tr>
<tr><th>php.ini</th><td><?= h($ini === false ? '(none)' : $ini) ?></td></tr>
<tr><th>OS_LANGUAGE</th><td><?= h(getenv('OS_LANGUAGE')) ?></td></tr>
<tr><th>SERVER_APPNAME</th><td><?= h(getenv('SERVER_APPNAME')) ?></td></tr>
<tr><th>MySQL</th><td class="<?= $mysql_ok ? 'ok' : 'fail' ?>"><?= h($mysql_message) ?></td></tr>
</table>
<?php if ($sites): ?>
<h2>Your sites</h2>
<p>Each folder of <code>www</code> is a site of its own at its own address:</p>
<ul id="sites">
<?php foreach ($sites as $name): ?>
<li><a href="<?= h("http://$name.localhost:$port/") ?>"><?= h($name) ?></a></li>
<?php endforeach; ?>
</ul>
<?php endif; ?>
<p><a href="help/">Help</a><?php if (is_dir(__DIR__ . '/phpmyadmin')): ?> | <a href="phpmyadmin/">phpMyAdmin</a><?php endif; ?></p>
</body>
</html>
