#!/usr/bin/env bash
# Assembles a movable server stack (bin, data, www) into DEST from the host's Debian packages.
#
#   bash scripts/stack-kit.sh DEST
#
# Every file is copied with symlinks dereferenced, so the tree can be moved or copied elsewhere.
# Safe to run again: server files are refreshed (by rename, so a running server keeps its file),
# an existing data/ folder is never touched, and demo files the user changed are kept.
# The tree carries the shared libraries its servers load (bin/lib, found through RUNPATHs), so it
# runs where none of these packages are installed; see docs/self-contained-tree.md.
set -euo pipefail

if (($# != 1)); then
  echo "usage: $0 DEST" >&2
  exit 2
fi

here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$1"
dest=$(cd "$1" && pwd)
umask 022

php_api=20220829
# The build names the version it compiled the launcher for; 8.2 is Debian 12's.
php_ver=${CORVALA_PHP_VERSION:-8.2}
php_extdir=/usr/lib/php/$php_api
mysql_share=/usr/share/mysql

# Packages come only through the project's set-up script; it installs just what is missing.
need_setup=0
for file in /usr/sbin/apache2 /usr/lib/apache2/modules/libphp$php_ver.so "$php_extdir/mysqli.so" \
  "$php_extdir/pdo_sqlite.so" "$php_extdir/gd.so" "$php_extdir/mbstring.so" "$php_extdir/curl.so" \
  "$php_extdir/dom.so" "$php_extdir/intl.so" "$php_extdir/zip.so" "$php_extdir/bcmath.so" "$php_extdir/opcache.so" \
  "$php_extdir/xdebug.so" /usr/bin/composer \
  /usr/bin/patchelf \
  /usr/sbin/mariadbd /usr/bin/mariadb-install-db /usr/bin/mariadb /usr/bin/mariadb-dump "/usr/bin/php$php_ver" \
  /etc/mime.types; do
  [ -e "$file" ] || need_setup=1
done
if ((need_setup)); then
  bash "$here/scripts/setup.sh"
fi

# Copies one file (following symlinks) through a temporary name and a rename, so a server that is
# running from the old file keeps running and a half-written file is never visible.
put() {
  local src=$1 dst=$2 mode=$3
  mkdir -p "$(dirname "$dst")"
  cp -L "$src" "$dst.kit-tmp"
  chmod "$mode" "$dst.kit-tmp"
  mv -f "$dst.kit-tmp" "$dst"
}

echo "stack-kit: server files into $dest/bin"
bin=$dest/bin

put /usr/sbin/apache2 "$bin/Apache/Apache" 755
for module in /usr/lib/apache2/modules/mod_*.so; do
  put "$module" "$bin/Apache/$(basename "$module")" 644
done
put /etc/mime.types "$bin/Apache/mime.types" 644

put "/usr/lib/apache2/modules/libphp$php_ver.so" "$bin/php/libphp.so" 644
put "/usr/lib/php/$php_ver/php.ini-development" "$bin/php/php.ini" 644
# A branded distribution's PHP starts from Debian's production settings instead.
put "/usr/lib/php/$php_ver/php.ini-production" "$bin/php/php.ini-production" 644
for extension in "$php_extdir"/*.so; do
  put "$extension" "$bin/php/ext/$(basename "$extension")" 644
done

put /usr/sbin/mariadbd "$bin/mysql/bin/mysqld" 755
# The stack's command line: PHP's interpreter beside its module (the same extensions and php.ini),
# started through scripts/kit/php, which keeps it off the host's /etc/php; MariaDB's client and
# dump tool beside the server, so deleting MySQL deletes them too.
put "/usr/bin/php$php_ver" "$bin/php/php-cli" 755
put "$here/scripts/kit/php" "$bin/php/php" 755
put /usr/bin/mariadb "$bin/mysql/bin/mariadb" 755
put /usr/bin/mariadb-dump "$bin/mysql/bin/mariadb-dump" 755
put "$mysql_share/english/errmsg.sys" "$bin/mysql/share/english/errmsg.sys" 644
for charset in "$mysql_share"/charsets/*; do
  put "$charset" "$bin/mysql/share/charsets/$(basename "$charset")" 644
done

# The package and every package it needs that has PHP libraries in /usr/share/php, one a line.
php_library_packages() {
  local package
  apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances "$1" | grep -v '^ ' | sort -u | while IFS= read -r package; do
    if dpkg-query -L "$package" 2>/dev/null | grep '^/usr/share/php/' >/dev/null; then echo "$package"; fi
  done
}

# The regular files below /usr/share/php (relative to it) of the packages named on standard input,
# one a line, sorted.
php_library_files() {
  xargs dpkg-query -L | sed -n 's|^/usr/share/php/||p' | sort -u | while IFS= read -r file; do
    if [ -f "/usr/share/php/$file" ]; then echo "$file"; fi
  done
}

# Composer: Debian's script and the PHP libraries it needs, in the layout of /usr
# (bin/composer/bin/composer beside bin/composer/share/php), so the relative paths of its
# autoloaders hold and the host's /usr/share/php is never read; bin/php/composer runs it with the
# stack's PHP.
echo "stack-kit: Composer into $bin/composer"
composer_packages=$(php_library_packages composer)
composer_files=$(php_library_files <<<"$composer_packages")
composer_staging=$bin/.composer.kit-tmp
rm -rf "$composer_staging"
mkdir -p "$composer_staging/bin" "$composer_staging/share/php" "$dest/licenses"
cp -L /usr/bin/composer "$composer_staging/bin/composer"
(cd /usr/share/php && tr '\n' '\0' <<<"$composer_files" | xargs -0 cp -L --parents -t "$composer_staging/share/php")
if grep -rq "/usr/share/php" "$composer_staging"; then
  echo "stack-kit: Composer still names the host's /usr/share/php" >&2
  exit 1
fi
while IFS= read -r package; do
  cp -L "/usr/share/doc/$package/copyright" "$dest/licenses/$package.copyright"
done <<<"$composer_packages"
find "$composer_staging" -type d -exec chmod 755 {} +
find "$composer_staging" -type f -exec chmod 644 {} +
rm -rf "$bin/composer"
mv "$composer_staging" "$bin/composer"
put "$here/scripts/kit/composer" "$bin/php/composer" 755

python3 "$here/scripts/bundle.py" servers "$dest"

# data/: made once; an existing database folder is the user's and stays as it is.
data=$dest/data
if [ -d "$data/mysql" ]; then
  echo "stack-kit: $data holds databases, kept"
else
  echo "stack-kit: creating databases in $data"
  # mariadb-install-db does not quote its paths: build in a private folder of plain characters
  # (in /tmp when the temporary folder's own path holds others), with a link to the copied
  # server, then move the result into place.
  temporary=${TMPDIR:-/tmp}
  if [[ ! $temporary =~ ^[A-Za-z0-9/._-]+$ ]]; then temporary=/tmp; fi
  scratch=$(mktemp -d "$temporary/corvala-kit.XXXXXX")
  ln -s "$bin/mysql/bin/mysqld" "$scratch/mysqld"
  user_opt=()
  if [ "$(id -u)" = 0 ]; then user_opt=(--user=root); fi
  # With InnoDB, and its files as small as the launcher's my.ini keeps them (a 96 MB redo log
  # otherwise); utf8mb4 as the launcher's server uses it.
  if ! MYSQLD_BOOTSTRAP="$scratch/mysqld" mariadb-install-db --no-defaults --skip-test-db \
    --skip-name-resolve --cross-bootstrap --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
    --innodb-buffer-pool-size=16M --innodb-log-file-size=8M --innodb-autoextend-increment=8 \
    --auth-root-authentication-method=normal "${user_opt[@]}" --datadir="$scratch/data" >"$scratch/log" 2>&1; then
    cat "$scratch/log" >&2
    rm -rf "$scratch"
    echo "stack-kit: mariadb-install-db failed" >&2
    exit 1
  fi
  mkdir -p "$data"
  # Merge, so loose files a user already put into data/ survive.
  cp -a "$scratch/data"/. "$data"/
  rm -rf "$scratch"
fi

# Demo site and favorites: a file is written when it is missing or still equal to the one
# this kit wrote last time (its checksum is kept in bin/.kit-demo.md5); a file the user changed stays.
manifest=$bin/.kit-demo.md5
declare -A previous=()
if [ -f "$manifest" ]; then
  while read -r sum name; do previous[$name]=$sum; done <"$manifest"
fi
new_manifest=$(mktemp)
install_demo() {
  local src=$1 rel=$2
  local dst=$dest/$rel
  local src_sum
  src_sum=$(md5sum <"$src" | cut -d' ' -f1)
  if [ -e "$dst" ]; then
    local dst_sum
    dst_sum=$(md5sum <"$dst" | cut -d' ' -f1)
    if [ "$dst_sum" != "$src_sum" ] && [ "$dst_sum" != "${previous[$rel]:-}" ]; then
      echo "stack-kit: $rel was changed, kept"
      echo "${previous[$rel]:-changed} $rel" >>"$new_manifest"
      return
    fi
  fi
  put "$src" "$dst" 644
  echo "$src_sum $rel" >>"$new_manifest"
}
echo "stack-kit: demo site into $dest/www"
while IFS= read -r -d '' file; do
  install_demo "$file" "www/${file#"$here/demo/www/"}"
done < <(find "$here/demo/www" -type f -print0 | sort -z)
install_demo "$here/demo/bin/Favorites.ini" bin/Favorites.ini
mv -f "$new_manifest" "$manifest"
chmod 644 "$manifest"

# phpMyAdmin, when the host has Debian's package: its files and the PHP libraries it loads
# from the include path go into www/phpmyadmin, with every fixed host path turned into one
# inside that folder. Refreshed on every run; its config.inc.php is written only once.
pma_src=/usr/share/phpmyadmin
if [ -f "$pma_src/index.php" ]; then
  echo "stack-kit: phpMyAdmin into $dest/www/phpmyadmin"
  pma=$dest/www/phpmyadmin
  staging=$dest/www/.phpmyadmin.kit-tmp
  rm -rf "$staging"
  mkdir -p "$staging/vendor" "$staging/doc" "$staging/tmp"
  cp -rL "$pma_src"/. "$staging"/
  cp -rL /usr/share/php/. "$staging/vendor"/
  # Composer's libraries that phpMyAdmin does not need are Composer's alone (bin/composer).
  comm -23 <(echo "$composer_files") <(php_library_packages phpmyadmin | php_library_files) |
    (cd "$staging/vendor" && tr '\n' '\0' | xargs -0 rm -f)
  find "$staging/vendor" -type d -empty -delete
  for doc in changelog.gz copyright; do
    if [ -f "/usr/share/doc/phpmyadmin/$doc" ]; then cp -L "/usr/share/doc/phpmyadmin/$doc" "$staging/doc/"; fi
  done
  sed -i "1a set_include_path(__DIR__ . '/vendor' . PATH_SEPARATOR . get_include_path());" \
    "$staging/autoload.php"
  sed -i -e "s|'/var/lib/phpmyadmin/tmp/'|ROOT_PATH . 'tmp' . DIRECTORY_SEPARATOR|" \
    -e "s|'/etc/phpmyadmin/config.inc.php'|ROOT_PATH . 'config.inc.php'|" \
    -e "s|'/usr/share/doc/phpmyadmin/changelog.gz'|ROOT_PATH . 'doc/changelog.gz'|" \
    -e "s|'/usr/share/doc/phpmyadmin/copyright'|ROOT_PATH . 'doc/copyright'|" \
    "$staging/libraries/vendor_config.php"
  sed -i "s|'/usr/share/php/data/|__DIR__ . '/../../data/|" \
    "$staging/vendor/Williamdes/MariaDBMySQLKBS/Search.php"
  if grep -rq "/usr/share/php\|/etc/phpmyadmin\|/var/lib/phpmyadmin" "$staging/libraries/vendor_config.php" \
    "$staging/vendor/Williamdes/MariaDBMySQLKBS/Search.php"; then
    echo "stack-kit: phpMyAdmin still names host paths" >&2
    exit 1
  fi
  if [ -f "$pma/config.inc.php" ]; then
    cp -p "$pma/config.inc.php" "$staging/config.inc.php"
    # Kits before the socket connected over TCP, where root may need a password.
    sed -i "s|^\\\$cfg\['Servers'\]\[\\\$i\]\['host'\] = '127.0.0.1';|\\\$cfg['Servers'][\\\$i]['host'] = 'localhost';|" \
      "$staging/config.inc.php"
  else
    secret=$(head -c 16 /dev/urandom | od -An -tx1 | tr -d ' \n')
    cat >"$staging/config.inc.php" <<EOF
<?php
// The stack's own MySQL: root without a password, through the socket PHP was configured with
// (which only the account running the stack reaches).
declare(strict_types=1);

\$cfg['blowfish_secret'] = '$secret';

\$i = 1;
\$cfg['Servers'][\$i]['auth_type'] = 'config';
\$cfg['Servers'][\$i]['host'] = 'localhost';
\$cfg['Servers'][\$i]['port'] = (string) ini_get('mysqli.default_port');
\$cfg['Servers'][\$i]['user'] = 'root';
\$cfg['Servers'][\$i]['password'] = '';
\$cfg['Servers'][\$i]['AllowNoPassword'] = true;

// The tree may be read-only (a CD): temporary files go to the session folder of the run.
\$sessions = (string) ini_get('session.save_path');
\$cfg['TempDir'] = is_dir(\$sessions) && is_writable(\$sessions) ? \$sessions : sys_get_temp_dir();
\$cfg['VersionCheck'] = false;
\$cfg['PmaNoRelation_DisableWarning'] = true;
EOF
  fi
  find "$staging" -type d -exec chmod 755 {} +
  find "$staging" -type f -exec chmod 644 {} +
  rm -rf "$pma"
  mv "$staging" "$pma"
fi

# Apache's workers run as nobody when the stack is started by root: the site must be readable.
chmod 755 "$dest" "$bin" "$dest/www"
find "$bin" "$dest/www" -type d -exec chmod 755 {} +

echo "stack-kit: done"
