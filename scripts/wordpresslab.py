"""WordPress from Debian's archive (the wordpress and wordpress-theme-twentytwentythree packages:
apt-get install wordpress wordpress-theme-twentytwentythree) copied into a site's folder, installed
through its own installer, and its front page: the pieces the WordPress benchmarks share."""

import http.client
import os
import re
import subprocess
import urllib.parse

import stacklab

WORDPRESS = "/usr/share/wordpress"

WP_CONFIG = """<?php
define('DB_NAME', 'wordpress');
define('DB_USER', 'root');
define('DB_PASSWORD', '');
define('DB_HOST', '%(db_host)s');
define('DB_CHARSET', 'utf8mb4');
define('DB_COLLATE', '');
foreach (['AUTH_KEY', 'SECURE_AUTH_KEY', 'LOGGED_IN_KEY', 'NONCE_KEY', 'AUTH_SALT', 'SECURE_AUTH_SALT',
          'LOGGED_IN_SALT', 'NONCE_SALT'] as $key)
    define($key, 'bench ' . $key);
$table_prefix = 'wp_';
// No request of its own to wp-cron.php or to the update servers while it is measured.
define('DISABLE_WP_CRON', true);
define('AUTOMATIC_UPDATER_DISABLED', true);
define('WP_AUTO_UPDATE_CORE', false);
define('WP_HTTP_BLOCK_EXTERNAL', true);
if (!defined('ABSPATH'))
    define('ABSPATH', __DIR__ . '/');
require_once ABSPATH . 'wp-settings.php';
"""

# Publishes posts until WordPress holds the number asked for; answers with the number it holds.
ADD_POSTS = """<?php
require __DIR__ . '/wordpress/wp-load.php';
$wanted = (int) $_GET['count'];
for ($have = (int) wp_count_posts()->publish; $have < $wanted; ++$have)
    wp_insert_post(['post_title' => "Post $have", 'post_status' => 'publish',
                    'post_content' => str_repeat("A paragraph of a post, as a small site writes them. ", 30)]);
echo (int) wp_count_posts()->publish;
"""

CREATE_DATABASE = """<?php
$db = new mysqli('%(host)s', 'root', '', '', %(port)d);
$db->query('CREATE DATABASE IF NOT EXISTS wordpress');
echo 'created';
"""


def require_package():
    if not os.path.exists(os.path.join(WORDPRESS, "wp-settings.php")):
        raise SystemExit("needs Debian's wordpress package: apt-get install wordpress wordpress-theme-twentytwentythree")


def add_wordpress(www, mysql_port=0, worker_user=None):
    """WordPress in www/wordpress and the page that makes its database (www/bench-db.php). Without
    mysql_port both reach MySQL through the socket the generated php.ini names ('localhost');
    with it, over TCP on loopback. worker_user: the account Apache's workers run as, which
    WordPress's content folder must be writable by."""
    target = os.path.join(www, "wordpress")
    # Debian's package links some of its files to other packages' files: copies of them go in.
    subprocess.run(["cp", "-rL", WORDPRESS, target], check=True)
    os.remove(os.path.join(target, "wp-config.php"))
    host = "127.0.0.1" if mysql_port else "localhost"
    with open(os.path.join(target, "wp-config.php"), "w") as handle:
        handle.write(WP_CONFIG % {"db_host": "%s:%d" % (host, mysql_port) if mysql_port else host})
    for name, text in (("bench-db.php", CREATE_DATABASE % {"host": host, "port": mysql_port}),
                       ("bench-posts.php", ADD_POSTS)):
        # A page of the kit is a link into the kit's tree: it is replaced, never written through.
        page = os.path.join(www, name)
        if os.path.exists(page):
            os.remove(page)
        with open(page, "w") as handle:
            handle.write(text)
    if worker_user:
        subprocess.run(["chown", "-R", worker_user, os.path.join(target, "wp-content")], check=True)


def post(port, path, fields):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=stacklab.START_SECONDS)
    connection.request("POST", path, urllib.parse.urlencode(fields),
                       {"Content-Type": "application/x-www-form-urlencoded"})
    response = connection.getresponse()
    body = response.read().decode("utf-8", "replace")
    connection.close()
    return response.status, body


def install_wordpress(port):
    """Makes WordPress's database, once MySQL takes clients, and runs WordPress's installer."""
    answers = []

    def created():
        answers.append(stacklab.http_get(port, "/bench-db.php"))
        return answers[-1] == (200, "created")

    try:
        stacklab.wait_for(created, stacklab.START_SECONDS, "the page that makes WordPress's database", poll=0.1)
    except TimeoutError:
        raise RuntimeError("the database was not created: %d %s" % (answers[-1][0], answers[-1][1][:300])) from None
    status, body = post(port, "/wordpress/wp-admin/install.php?step=2", {
        "weblog_title": "Corvala Bench", "user_name": "admin", "admin_password": "bench-Password-1",
        "admin_password2": "bench-Password-1", "pw_weak": "1", "admin_email": "admin@example.com",
        "blog_public": "0", "language": ""})
    if status != 200 or "Success!" not in body:
        raise RuntimeError("WordPress was not installed: %d %s" % (status, re.sub(r"\s+", " ", body)[:500]))


def add_posts(port, count):
    status, body = stacklab.http_get(port, "/bench-posts.php?count=%d" % count, timeout=stacklab.START_SECONDS)
    if status != 200 or body.strip() != str(count):
        raise RuntimeError("WordPress did not take %d posts: %d %s" % (count, status, body[:300]))


def front_page(port, timeout=10):
    """The front page's length; RuntimeError when it is not WordPress's installed front page."""
    status, body = stacklab.http_get(port, "/wordpress/", timeout=timeout)
    if status != 200 or "Corvala Bench" not in body:
        raise RuntimeError("the front page answered %d: %s" % (status, re.sub(r"\s+", " ", body)[:300]))
    return len(body)
