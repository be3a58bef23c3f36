<?php
$port = isset($_SERVER['SERVER_PORT']) ? (int) $_SERVER['SERVER_PORT'] : 0;
?>
<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Corvala Help</title>
<style>
body { font-family: sans-serif; margin: 2em; color: #222; max-width: 50em; }
h1, h2 { font-weight: normal; }
</style>
</head>
<body>
<h1>Corvala Help</h1>
<p>Corvala runs a local web server with PHP and a MySQL-compatible database from the folder it
lives in. Nothing is installed on the computer; close Corvala and the servers stop.</p>

<h2>Folders</h2>
<ul>
<li><code>www</code>: your web site. This page is served from it on
http://127.0.0.1:<?= $port ?>/.</li>
<li><code>data</code>: the databases.</li>
<li><code>bin</code>: the servers and <code>Favorites.ini</code>.</li>
</ul>

<h2>Database</h2>
<p>Connect to host <code>localhost</code> as user <code>root</code> with an empty password: PHP
already knows the server's socket, so <code>new mysqli('localhost', 'root', '')</code> works. Host
127.0.0.1 reaches the same server over TCP on the port PHP also knows; in the "only my account"
mode root needs a password there (see the README).</p>

<h2>Using Corvala</h2>
<ul>
<li>The tray icon shows and hides the window; its menu holds Server Settings, Down Size,
Help and Exit.</li>
<li>Server Settings choose the address and the port the web server listens on.</li>
<li>Down Size removes components you do not need from a copy you give away.</li>
<li>Favorites opens folders and pages you use often; "Organize Favorites..." edits the list.</li>
<li>Rebrand builds a copy of the stack with its own title, icon and splash image.</li>
</ul>
<p><a href="../">Back to the start page</a></p>
</body>
</html>
