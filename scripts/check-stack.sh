#!/usr/bin/env bash
# Proves a stack tree made by scripts/stack-kit.sh: writes httpd.conf, php.ini and my.ini into a
# work folder the way the launcher does, starts mysqld and Apache from the tree on loopback ports,
# fetches the status page (which writes and reads a MySQL row), stops both with SIGTERM and checks
# that no server process and no listener is left.
#
#   bash scripts/check-stack.sh [TREE]
#
# Without TREE a fresh tree is made in a temporary folder. Run as root, the check runs twice: as root
# (Apache's workers become nobody) and as the unprivileged user corvala-test (created when missing),
# which assembles and serves its own tree.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/corvala-check.XXXXXX")
chmod 755 "$scratch" # the tree inside must be reachable by Apache's workers
work=""
apache_pid=""
mysql_pid=""

fail() {
  echo "check-stack: FAIL: $*" >&2
  for log in "$work/error.log" "$work/mysql.log"; do
    [ -f "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}

# Stops the servers still running: SIGTERM, a bounded wait, then SIGKILL (a mysqld that gets
# SIGTERM while it is still starting can hang for good).
stop_servers() {
  local pid
  for pid in $apache_pid $mysql_pid; do kill -TERM "$pid" 2>/dev/null || true; done
  for pid in $apache_pid $mysql_pid; do
    wait_until 100 not_running "$pid" || kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  apache_pid=""
  mysql_pid=""
}

cleanup() {
  stop_servers
  rm -rf "$scratch"
}
trap cleanup EXIT

# Sets KEY in SECTION of an INI file the way the launcher's INI writer does: an existing key
# (blanks around "=" allowed) is replaced in place, a missing key goes to the end of its section,
# a missing section is added at the end. Lines end in CR LF.
ini_set() {
  local file=$1 section=$2 key=$3 value=$4
  [ -f "$file" ] || : >"$file"
  awk -v section="$section" -v key="$key" -v value="$value" '
    function flush() { if (in_section && !done) { print key "=" value "\r"; done = 1 } }
    { sub(/\r$/, "") }
    /^[ \t]*\[/ {
      flush()
      name = $0; sub(/^[ \t]*\[/, "", name); sub(/\].*$/, "", name)
      in_section = (tolower(name) == tolower(section))
      print $0 "\r"; next
    }
    in_section && !done {
      k = $0; sub(/=.*$/, "", k); gsub(/^[ \t]+|[ \t]+$/, "", k)
      if (index($0, "=") && tolower(k) == tolower(key)) { print key "=" value "\r"; done = 1; next }
    }
    { print $0 "\r" }
    END { flush(); if (!done) { print "[" section "]\r"; print key "=" value "\r" } }
  ' "$file" >"$file.tmp"
  mv -f "$file.tmp" "$file"
}

# First port from START that nothing listens on (bound with SO_REUSEADDR, like the launcher's probe).
free_port() {
  python3 - "$1" <<'EOF'
import socket, sys
port = int(sys.argv[1])
while True:
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        s.bind(("127.0.0.1", port))
        print(port)
        break
    except OSError:
        port += 1
    finally:
        s.close()
EOF
}

# Pids of running (not zombie) processes whose executable is FILE.
pids_of() {
  local file=$1 pid
  for proc in /proc/[0-9]*; do
    [ "$(readlink "$proc/exe" 2>/dev/null)" = "$file" ] || continue
    pid=${proc#/proc/}
    grep -q '^State:[[:space:]]*Z' "$proc/status" 2>/dev/null || echo "$pid"
  done
}

wait_until() {
  local tries=$1
  shift
  while ((tries-- > 0)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
not_listening() { ! listening "$1"; }
# A zombie counts as ended: it waits only for this script to reap it.
not_running() { ! [ -e "/proc/$1" ] || grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null; }
runs_from() { [ "$(readlink "/proc/$1/exe" 2>/dev/null)" = "$2" ]; }
gone() { [ -z "$(pids_of "$tree/bin/Apache/Apache")$(pids_of "$tree/bin/mysql/bin/mysqld")" ]; }

run_check() {
  tree=$1
  bin=$tree/bin
  work=$scratch/work
  mkdir -p "$work"
  chmod 700 "$work"
  local as_root=0
  [ "$(id -u)" = 0 ] && as_root=1

  # Work folder: private to us; as root, Apache's workers (nobody) may pass through it and own
  # only the session folder.
  mkdir -p "$work/sessions"
  chmod 700 "$work/sessions"
  if ((as_root)); then
    chmod 711 "$work"
    chown nobody:nogroup "$work/sessions"
  fi

  local mysql_port http_port
  # Random bases keep parallel runs on this machine off each other's ports.
  mysql_port=$(free_port $((20000 + RANDOM % 20000)))
  http_port=$(free_port $((40000 + RANDOM % 20000)))

  ini_set "$work/my.ini" mysqld basedir "\"$bin/mysql\""
  ini_set "$work/my.ini" mysqld datadir "\"$tree/data\""
  ini_set "$work/my.ini" mysqld bind-address 127.0.0.1
  ini_set "$work/my.ini" mysqld port "$mysql_port"
  ini_set "$work/my.ini" mysqld default-storage-engine Aria
  ini_set "$work/my.ini" mysqld socket "\"$work/mysql.sock\""
  ini_set "$work/my.ini" mysqld pid-file "\"$work/mysql.pid\""
  ini_set "$work/my.ini" mysqld character-sets-dir "\"$bin/mysql/share/charsets\""

  # Each server gets its own session (process group): Apache's parent ends by sending SIGTERM to
  # its whole process group, which would take this script down with it.
  setsid "$bin/mysql/bin/mysqld" "--defaults-file=$work/my.ini" "--port=$mysql_port" "--skip-innodb" \
    "--language=$bin/mysql/share/english" "--user=root" >"$work/mysql.log" 2>&1 &
  mysql_pid=$!

  cp "$bin/php/php.ini" "$work/php.ini"
  chmod 600 "$work/php.ini"
  ini_set "$work/php.ini" PHP extension_dir "\"$bin/php/ext\""
  local extension
  # Loaded in dependency order: mysqlnd before mysqli and pdo_mysql, pdo before pdo_*.
  # xml and dom come with phpMyAdmin's dependencies; the others with the base packages.
  for extension in mysqlnd mysqli pdo pdo_mysql pdo_sqlite sqlite3 gd mbstring curl ctype iconv \
    fileinfo tokenizer xml dom simplexml xmlreader xmlwriter; do
    if [ -f "$bin/php/ext/$extension.so" ]; then
      printf 'extension=%s\r\n' "$extension" >>"$work/php.ini"
    fi
  done
  ini_set "$work/php.ini" MySQL mysql.default_port "$mysql_port"
  ini_set "$work/php.ini" MySQLi mysqli.default_port "$mysql_port"
  ini_set "$work/php.ini" MySQLi mysqli.default_socket "\"$work/mysql.sock\""
  ini_set "$work/php.ini" Pdo_mysql pdo_mysql.default_socket "\"$work/mysql.sock\""
  ini_set "$work/php.ini" Session session.save_path "\"$work/sessions\""
  ini_set "$work/php.ini" "mail function" sendmail_path "\"$bin/Apache/sendmail -t\""

  {
    printf 'ServerRoot "%s"\r\n' "$bin/Apache"
    printf 'PidFile "%s"\r\n' "$work/httpd.pid"
    printf 'ErrorLog "%s"\r\n' "$work/error.log"
    printf 'Listen 127.0.0.1:%d\r\n' "$http_port"
    printf 'ServerName 127.0.0.1\r\n'
    printf 'DocumentRoot "%s"\r\n' "$tree/www"
    printf 'DirectoryIndex index.php index.html index.htm index.php5 index.php4 index.php3 defult.htm default.html\r\n'
    printf 'TypesConfig mime.types\r\n'
    printf 'UseCanonicalName Off\r\n'
    printf 'LoadModule php_module "%s"\r\n' "$bin/php/libphp.so"
    printf 'AddType application/x-httpd-php .php\r\n'
    printf 'LoadModule rewrite_module mod_rewrite.so\r\n'
    printf 'LoadModule mpm_prefork_module mod_mpm_prefork.so\r\n'
    printf 'LoadModule mime_module mod_mime.so\r\n'
    printf 'LoadModule dir_module mod_dir.so\r\n'
    printf 'LoadModule authz_core_module mod_authz_core.so\r\n'
    if ((as_root)); then
      printf 'User nobody\r\n'
      printf 'Group nogroup\r\n'
    fi
    printf '<Directory />\r\n'
    printf 'AllowOverride None\r\n'
    printf '</Directory>\r\n'
    printf '<Directory "%s">\r\n' "$tree/www"
    printf 'AllowOverride All\r\n'
    printf '</Directory>\r\n'
  } >"$work/httpd.conf"
  chmod 600 "$work/httpd.conf" "$work/my.ini"

  PHPRC=$work PHP_INI_SCAN_DIR='' OS_LANGUAGE=English SERVER_APPNAME=Corvala \
    setsid "$bin/Apache/Apache" -f "$work/httpd.conf" -DFOREGROUND &
  apache_pid=$!
  wait_until 50 runs_from "$apache_pid" "$bin/Apache/Apache" || fail "Apache did not keep its pid"

  wait_until 100 listening "$mysql_port" || fail "mysqld does not listen on $mysql_port"
  wait_until 100 listening "$http_port" || fail "Apache does not listen on $http_port"
  wait_until 50 test "$(pids_of "$bin/Apache/Apache" | wc -l)" -ge 2 || fail "no Apache worker"
  if ((as_root)); then
    local worker_user
    worker_user=$(ps -o user= --ppid "$apache_pid" | sort -u)
    [ "$worker_user" = nobody ] || fail "Apache workers run as '$worker_user', not nobody"
  fi

  local page
  page=$(curl -fsS --max-time 10 "http://127.0.0.1:$http_port/") || fail "status page not served"
  grep -q "MySQL connected on port $mysql_port" <<<"$page" || fail "no MySQL round trip: $page"
  grep -q "<title>Corvala</title>" <<<"$page" || fail "title missing"
  grep -q "$work/php.ini" <<<"$page" || fail "php.ini of the work folder not loaded"
  grep -q "English" <<<"$page" || fail "OS_LANGUAGE not passed to PHP"
  grep -q "<td>Corvala</td>" <<<"$page" || fail "SERVER_APPNAME not passed to PHP"
  grep -qi "warning\|notice\|deprecated" <<<"$page" && fail "PHP reported a problem: $page"
  curl -fsS --max-time 10 -o /dev/null "http://127.0.0.1:$http_port/help/" || fail "help page not served"
  if [ -d "$tree/www/phpmyadmin" ]; then
    page=$(curl -fsS --max-time 20 "http://127.0.0.1:$http_port/phpmyadmin/index.php") ||
      fail "phpMyAdmin not served"
    grep -q "Server version" <<<"$page" || fail "phpMyAdmin did not log in to MySQL"
    # The only error box allowed is the one shown to browsers without JavaScript.
    local errors
    errors=$(grep -A1 "alert-danger" <<<"$page" | grep -v "alert-danger\|^--$\|Javascript must be enabled" || true)
    [ -z "$errors" ] || fail "phpMyAdmin shows an error: $errors"
    curl -fsS --max-time 20 -o /dev/null "http://127.0.0.1:$http_port/phpmyadmin/index.php?route=/server/databases" ||
      fail "phpMyAdmin database list not served"
  fi
  # A session must be writable by the user PHP runs as.
  printf '<?php session_start(); $_SESSION["n"] = 1; echo session_id() === "" ? "no" : "yes";\n' \
    >"$tree/www/.check-session.php"
  page=$(curl -fsS --max-time 10 "http://127.0.0.1:$http_port/.check-session.php") || true
  rm -f "$tree/www/.check-session.php"
  [ "$page" = yes ] && [ -n "$(ls -A "$work/sessions")" ] || fail "sessions not saved: $page"

  if grep -E "PHP (Warning|Fatal|Parse|Deprecated|Notice)" "$work/error.log"; then fail "PHP logged problems"; fi

  kill -TERM "$apache_pid" "$mysql_pid"
  wait_until 50 not_running "$apache_pid" || fail "Apache ignores SIGTERM"
  wait_until 50 not_running "$mysql_pid" || fail "mysqld ignores SIGTERM"
  stop_servers
  wait_until 50 gone || fail "server processes left after SIGTERM"
  not_listening "$http_port" || fail "port $http_port is still served"
  not_listening "$mysql_port" || fail "port $mysql_port is still served"
  [ ! -e "$work/httpd.pid" ] || fail "Apache left its pid file"
  rm -rf "$work"
  echo "check-stack: ok as $(id -un): MySQL on $mysql_port, Apache on $http_port"
}

tree=${1:-}
if [ -z "$tree" ]; then
  tree=$scratch/stack
  bash "$here/scripts/stack-kit.sh" "$tree" >/dev/null
fi
run_check "$(cd "$tree" && pwd)"

if [ "$(id -u)" = 0 ] && [ -z "${CORVALA_CHECK_NESTED:-}" ]; then
  # Second round as an ordinary user, with its own copy of the scripts and its own tree.
  id corvala-test >/dev/null 2>&1 || useradd --system --user-group --no-create-home \
    --home-dir /nonexistent --shell /usr/sbin/nologin corvala-test
  mkdir -p "$scratch/user"
  cp -r "$here/scripts" "$here/demo" "$scratch/user/"
  chown -R corvala-test: "$scratch/user"
  runuser -u corvala-test -- env CORVALA_CHECK_NESTED=1 TMPDIR="$scratch/user" \
    bash "$scratch/user/scripts/check-stack.sh" || fail "check as corvala-test"
fi
