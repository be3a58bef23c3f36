// Who reaches the owner's database, files and site: MySQL's file functions, the modes of what the
// launcher writes, and a second account of the computer against the default and the "only my
// account" mode.
#include "E2eSupport.h"
#include "digest/Md5.h"
#include "files/PrivateFolder.h"

#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{

constexpr char OtherUser[] = "corvala-other";
constexpr char OwnerUser[] = "corvala-owner";

std::string ConfigFor(bool privateMode)
{
  return "[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=" + std::to_string(FreePort()) +
         "\r\nip=127.0.0.1\r\ncopyfilestoharddisk=0\r\nbrand=0" + (privateMode ? "\r\nprivatemode=1" : "");
}

// The host's MySQL client over TCP as root; its output with the errors.
std::string TcpSql(int port, const std::string &sql, const std::string &password = {})
{
  return "mariadb --no-defaults --protocol=TCP -h 127.0.0.1 -P " + std::to_string(port) + " -u root " +
         (password.empty() ? "" : "-p" + password + " ") + "-N -B -e " + Quoted(sql) + " 2>&1";
}

std::string SocketSql(const std::string &socket, const std::string &sql)
{
  return "mariadb --no-defaults --protocol=SOCKET -S " + Quoted(socket) + " -u root -N -B -e " + Quoted(sql) +
         " 2>&1";
}

// The status code of a GET, with the cookie jar when one is given.
std::string CurlStatus(const std::string &url, const std::string &jar = {})
{
  return "curl -s -o /dev/null -w '%{http_code}' " + (jar.empty() ? "" : "-b " + Quoted(jar) + " ") +
         Quoted(url);
}

bool Has(const std::string &text, const std::string &part)
{
  return text.find(part) != std::string::npos;
}

mode_t ModeOf(const std::string &path)
{
  struct stat st {
  };
  return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// A page of the site, written as a new file (the installation's www links the kit's files).
void WritePage(const TInstall &install, const std::string &name, const std::string &text)
{
  const std::string path = install.Path("www/" + name);
  std::remove(path.c_str());
  std::ofstream(path) << text;
  chmod(path.c_str(), 0644);
}

// Connects as the applications of a local stack do: host "localhost", root, no password.
constexpr char SocketPage[] = R"(<?php
mysqli_report(MYSQLI_REPORT_OFF);
$db = @new mysqli('localhost', 'root', '');
echo $db->connect_errno ? "mysqli failed: $db->connect_error" : 'mysqli as ' . $db->query('SELECT CURRENT_USER()')->fetch_row()[0];
try {
  $pdo = new PDO('mysql:host=localhost', 'root', '');
  echo "\npdo ", $pdo->query('SELECT 21 * 2')->fetchColumn();
} catch (PDOException $e) {
  echo "\npdo failed: ", $e->getMessage();
}
)";

// Requests the site's own first page from PHP, as WordPress's health check does: with the
// visitor's cookies when asked to, else with none (as its cron does).
constexpr char LoopbackPage[] = R"(<?php
$cookie = '';
if (isset($_GET['with_cookies']))
  foreach ($_COOKIE as $name => $value)
    $cookie .= ($cookie === '' ? '' : '; ') . "$name=$value";
$curl = curl_init('http://127.0.0.1:' . $_SERVER['SERVER_PORT'] . '/index.php');
curl_setopt($curl, CURLOPT_RETURNTRANSFER, true);
if ($cookie !== '')
  curl_setopt($curl, CURLOPT_COOKIE, $cookie);
curl_exec($curl);
echo 'loopback ', curl_getinfo($curl, CURLINFO_RESPONSE_CODE);
)";

// An ordinary account of the computer, made for the test and removed after it.
class TAccount
{
public:
  explicit TAccount(std::string name) : name_(std::move(name))
  {
    if (getpwnam(name_.c_str()) == nullptr)
      Shell("useradd --no-create-home --shell /bin/sh " + name_ + " 2>&1");
  }
  ~TAccount() { Shell("userdel " + name_ + " 2>&1"); }
  TAccount(const TAccount &) = delete;
  TAccount &operator=(const TAccount &) = delete;

  uid_t Uid() const
  {
    const passwd *account = getpwnam(name_.c_str());
    return account != nullptr ? account->pw_uid : static_cast<uid_t>(-1);
  }
  // Runs the shell command as that account, from a folder it may enter.
  std::string Run(const std::string &command) const
  {
    return Shell("cd / && runuser -u " + name_ + " -- sh -c " + Quoted(command) + " 2>&1");
  }

private:
  std::string name_;
};

// A file only the owner reads, outside every folder of the stack: what a takeover goes for.
class TOwnerFile
{
public:
  TOwnerFile(const std::string &path, uid_t owner) : path_(path)
  {
    std::ofstream(path_) << "owner-only secret\n";
    chmod(path_.c_str(), 0600);
    if (chown(path_.c_str(), owner, static_cast<gid_t>(-1)) != 0)
      ADD_FAILURE() << "cannot give " << path_ << " to its owner";
  }
  ~TOwnerFile()
  {
    std::remove(path_.c_str());
    std::remove((path_ + ".written").c_str());
  }
  TOwnerFile(const TOwnerFile &) = delete;
  TOwnerFile &operator=(const TOwnerFile &) = delete;
  const std::string &Path() const { return path_; }

private:
  std::string path_;
};

class PrivacyTest : public ::testing::Test
{
protected:
  // Starts the stack as this process's user, or as the ordinary account Owner, with a temporary
  // and a home folder of its own.
  void Start(bool privateMode, const TAccount *owner = nullptr)
  {
    owner_ = owner;
    install.SetConfig(ConfigFor(privateMode));
    WritePage(install, "socket.php", SocketPage);
    WritePage(install, "loopback.php", LoopbackPage);
    // An external browser, so the start gives the address it would open.
    const std::string browserIni = install.Path("bin/Browser.ini");
    std::remove(browserIni.c_str());
    std::ofstream(browserIni) << "[Browser]\nBrowserPath=/bin/true\nParameters={url}\n";
    std::map<std::string, std::string> environment;
    if (owner != nullptr) {
      install.GiveTo(owner->Uid(), 65534);
      for (const char *folder : {".tmp", ".home"}) {
        fs::create_directory(install.Root() + folder);
        chmod((install.Root() + folder).c_str(), 0700);
        EXPECT_EQ(chown((install.Root() + folder).c_str(), owner->Uid(), 65534), 0);
      }
      environment = {{"TMPDIR", install.Root() + ".tmp"}, {"HOME", install.Root() + ".home"}};
    }
    launcher = std::make_unique<TLauncher>(install.Program(), environment,
                                           owner != nullptr ? owner->Uid() : static_cast<uid_t>(-1));
    ASSERT_TRUE(launcher->WaitReady()) << launcher->LastLine();
    work = launcher->Value("work");
    socket = work + "/mysql.sock";
    site = "http://127.0.0.1:" + std::to_string(launcher->IntValue("apache_port"));
    mysqlPort = launcher->IntValue("mysql_port");
  }

  void TearDown() override
  {
    if (launcher) {
      EXPECT_EQ(launcher->Stop(), 0);
    }
    for (const char *folder : {".tmp", ".home"})
      fs::remove_all(install.Root() + folder);
  }

  // Runs the shell command as the stack's owner.
  std::string AsOwner(const std::string &command) const
  {
    return owner_ != nullptr ? owner_->Run(command) : Shell(command);
  }
  uid_t OwnerUid() const { return owner_ != nullptr ? owner_->Uid() : geteuid(); }

  TInstall install;
  std::unique_ptr<TLauncher> launcher;
  std::string work;
  std::string socket;
  std::string site;
  int mysqlPort = 0;
  const TAccount *owner_ = nullptr;
};

// The second account's tests, with root as the stack's owner and with an ordinary account.
class SecondAccount : public PrivacyTest, public ::testing::WithParamInterface<bool>
{
protected:
  void SetUp() override
  {
    if (geteuid() != 0)
      GTEST_SKIP() << "needs root to make the accounts";
    other = std::make_unique<TAccount>(OtherUser);
    ASSERT_NE(other->Uid(), static_cast<uid_t>(-1));
    if (GetParam()) {
      ordinaryOwner = std::make_unique<TAccount>(OwnerUser);
      ASSERT_NE(ordinaryOwner->Uid(), static_cast<uid_t>(-1));
    }
  }
  void TearDown() override
  {
    PrivacyTest::TearDown();
    ordinaryOwner.reset();
    other.reset();
  }

  std::unique_ptr<TAccount> other;
  std::unique_ptr<TAccount> ordinaryOwner;
};

} // namespace

TEST_F(PrivacyTest, MySqlFileFunctionsWorkOnlyInTheirPrivateFolder)
{
  Start(false);
  const TOwnerFile outside(install.Root() + ".owner", geteuid());
  const std::string files = work + "/mysql-files";
  EXPECT_EQ(ModeOf(files) & 07777, 0700u);

  EXPECT_EQ(Shell(TcpSql(mysqlPort, "SELECT LOAD_FILE('" + outside.Path() + "') IS NULL")), "1\n");
  const std::string written =
      Shell(TcpSql(mysqlPort, "SELECT 'x' INTO OUTFILE '" + outside.Path() + ".written'"));
  EXPECT_TRUE(Has(written, "ERROR 1290")) << written;
  EXPECT_FALSE(fs::exists(outside.Path() + ".written"));

  // Inside the folder all three work: a dump, reading it back whole, and loading it into a table.
  EXPECT_EQ(Shell(TcpSql(mysqlPort, "SELECT 'inside' INTO OUTFILE '" + files + "/out.txt'")), "");
  EXPECT_EQ(Shell(TcpSql(mysqlPort, "SELECT LOAD_FILE('" + files + "/out.txt')")), "inside\\n\n");
  EXPECT_EQ(Shell(TcpSql(mysqlPort, "CREATE DATABASE filetest; CREATE TABLE filetest.t (v TEXT); "
                                    "LOAD DATA INFILE '" +
                                        files + "/out.txt' INTO TABLE filetest.t; SELECT v FROM filetest.t")),
            "inside\n");
  // The databases the server creates are the owner's alone.
  EXPECT_EQ(ModeOf(install.Path("data/filetest")) & 0777, 0700u);
  for (const auto &entry : fs::directory_iterator(install.Path("data/filetest")))
    EXPECT_EQ(ModeOf(entry.path()) & 077, 0u) << entry.path();
}

TEST_F(PrivacyTest, WorkFolderSocketAndLockAreTheOwnersOnly)
{
  Start(false);
  struct stat folder {
  };
  ASSERT_EQ(stat(work.c_str(), &folder), 0);
  if (geteuid() == 0) {
    // Apache's workers (nobody, group nogroup) pass through to the sessions and the socket.
    const group *workers = getgrnam("nogroup");
    ASSERT_NE(workers, nullptr);
    EXPECT_EQ(folder.st_mode & 07777, 0710u);
    EXPECT_EQ(folder.st_gid, workers->gr_gid);
    EXPECT_EQ(ModeOf(socket) & 0777, 0660u);
  } else {
    EXPECT_EQ(folder.st_mode & 07777, 0700u);
    EXPECT_EQ(ModeOf(socket) & 0777, 0600u);
  }
  EXPECT_EQ(folder.st_uid, geteuid());
  // Nothing in the work folder is open to others; only the socket is the workers' group's too.
  for (const auto &entry : fs::recursive_directory_iterator(work)) {
    const mode_t mode = ModeOf(entry.path());
    const mode_t groupAllowed = entry.path() == socket ? 060 : 0;
    EXPECT_EQ(mode & 077 & ~groupAllowed, 0u) << entry.path() << " mode " << std::oct << (mode & 07777);
  }
  // The single-instance lock lives in the private folder, which is the owner's alone.
  const std::string lock = Files::GetPrivateFolder() + "/" + Digest::Md5Hex(install.Program()) + ".lock";
  EXPECT_EQ(ModeOf(lock) & 0777, 0600u) << lock;
  EXPECT_EQ(ModeOf(Files::GetPrivateFolder()) & 0777, 0700u);
  // As root the site is still served by the workers, PHP sessions and MySQL included.
  const std::string page = Shell("curl -s " + Quoted(site + "/index.php"));
  EXPECT_TRUE(Has(page, "MySQL connected")) << page;
}

// A page of another name rebound to this address (DNS rebinding) gets no page; the names of this
// computer get the site and phpMyAdmin.
TEST_F(PrivacyTest, TheSiteAnswersOnlyTheNamesOfThisComputer)
{
  Start(false);
  const std::string port = std::to_string(launcher->IntValue("apache_port"));
  const auto status = [this](const std::string &host, const std::string &path) {
    return Shell("curl -s -L -o /dev/null -w '%{http_code}' -H " + Quoted("Host: " + host) + " " +
                 Quoted(site + path));
  };
  for (const std::string &host : {std::string("evil.example"), "evil.example:" + port}) {
    EXPECT_EQ(status(host, "/"), "421") << host;
    EXPECT_EQ(status(host, "/phpmyadmin/"), "421") << host;
  }
  const std::string refusal = Shell("curl -s -H 'Host: evil.example' " + Quoted(site + "/phpmyadmin/"));
  EXPECT_TRUE(Has(refusal, "allowedhosts key of Config.ini")) << refusal;
  EXPECT_FALSE(Has(refusal, "token")) << refusal;
  for (const std::string &host : {"127.0.0.1:" + port, "localhost:" + port}) {
    EXPECT_EQ(status(host, "/"), "200") << host;
    EXPECT_EQ(status(host, "/phpmyadmin/"), "200") << host;
  }
  // A name under .localhost is answered by the site folder of that name, and there is no "x".
  EXPECT_EQ(status("x.localhost:" + port, "/"), "404");
}

// A form of another site posting SQL to phpMyAdmin, which logs in by itself, creates nothing; the
// same request from phpMyAdmin's own page, with its token, does.
TEST_F(PrivacyTest, PhpMyAdminTakesSqlOnlyFromItsOwnPages)
{
  Start(false);
  const std::string sqlRoute = site + "/phpmyadmin/index.php?route=/sql";
  const auto post = [&](const std::string &origin, const std::string &database, const std::string &extra) {
    return Shell("curl -s -o /dev/null -w '%{http_code}' -H " + Quoted("Origin: " + origin) + " " + extra +
                 " --data " + Quoted("server=1&db=&sql_query=CREATE+DATABASE+" + database) + " " +
                 Quoted(sqlRoute));
  };
  EXPECT_EQ(post("http://evil.example", "cross_site", ""), "403");
  EXPECT_EQ(post("null", "cross_site", "-H 'Sec-Fetch-Site: cross-site'"), "403");
  EXPECT_EQ(Shell(TcpSql(mysqlPort, "SHOW DATABASES LIKE 'cross_site'")), "");

  const std::string jar = install.Root() + ".pma-cookies";
  const std::string page = Shell("curl -s -L -c " + Quoted(jar) + " -b " + Quoted(jar) + " " +
                                 Quoted(site + "/phpmyadmin/index.php"));
  const std::string marker = "name=\"token\" value=\"";
  const size_t at = page.find(marker);
  ASSERT_NE(at, std::string::npos) << page.substr(0, 2000);
  const std::string token =
      page.substr(at + marker.size(), page.find('"', at + marker.size()) - at - marker.size());
  EXPECT_EQ(post(site, "own_origin&token=" + token, "-c " + Quoted(jar) + " -b " + Quoted(jar)), "200");
  EXPECT_EQ(Shell(TcpSql(mysqlPort, "SHOW DATABASES LIKE 'own_origin'")), "own_origin\n");
  EXPECT_EQ(Shell(TcpSql(mysqlPort, "DROP DATABASE own_origin")), "");
  std::remove(jar.c_str());
}

TEST_P(SecondAccount, DefaultModeKeepsItOutOfTheOwnersFiles)
{
  Start(false, ordinaryOwner.get());
  const TOwnerFile secret(install.Root() + ".owner", OwnerUid());

  // The open default: root over TCP without a password, and the site.
  EXPECT_EQ(other->Run(TcpSql(mysqlPort, "SELECT 1")), "1\n");
  EXPECT_EQ(other->Run(CurlStatus(site + "/index.php")), "200");
  // Yet the server's file functions do not act for it on the owner's files.
  EXPECT_EQ(other->Run(TcpSql(mysqlPort, "SELECT LOAD_FILE('" + secret.Path() + "') IS NULL")), "1\n");
  const std::string written =
      other->Run(TcpSql(mysqlPort, "SELECT 'x' INTO OUTFILE '" + secret.Path() + ".written'"));
  EXPECT_TRUE(Has(written, "ERROR 1290")) << written;
  EXPECT_FALSE(fs::exists(secret.Path() + ".written"));
  // The socket and the work folder are out of its reach.
  const std::string bySocket = other->Run(SocketSql(socket, "SELECT 1"));
  EXPECT_TRUE(Has(bySocket, "ERROR 2002") && Has(bySocket, "(13)")) << bySocket;
  EXPECT_TRUE(Has(other->Run("ls " + Quoted(work)), "Permission denied"));
  // The owner reaches both.
  EXPECT_EQ(AsOwner(SocketSql(socket, "SELECT CURRENT_USER()")), "root@localhost\n");
}

TEST_P(SecondAccount, OnlyMyAccountModeKeepsItOutOfDatabaseAndSite)
{
  Start(true, ordinaryOwner.get());
  const std::string key = launcher->Value("site_key");
  ASSERT_EQ(key.size(), 32u);
  const std::string passwordFile = launcher->Value("mysql_password_file");
  struct stat password {
  };
  ASSERT_EQ(stat(passwordFile.c_str(), &password), 0) << passwordFile;
  EXPECT_EQ(password.st_mode & 0777, 0600u);
  EXPECT_EQ(password.st_uid, OwnerUid());
  std::string rootPassword;
  std::getline(std::ifstream(passwordFile), rootPassword);
  ASSERT_EQ(rootPassword.size(), 32u);

  // The second account: root over TCP, the socket, and the site, each refused.
  const std::string overTcp = other->Run(TcpSql(mysqlPort, "SELECT 1"));
  EXPECT_TRUE(Has(overTcp, "ERROR 1045")) << overTcp;
  const std::string bySocket = other->Run(SocketSql(socket, "SELECT 1"));
  EXPECT_TRUE(Has(bySocket, "ERROR 2002") && Has(bySocket, "(13)")) << bySocket;
  EXPECT_EQ(other->Run(CurlStatus(site + "/index.php")), "403");
  const std::string refusal = other->Run("curl -s " + Quoted(site + "/phpmyadmin/"));
  EXPECT_TRUE(Has(refusal, "open only to the account that started it")) << refusal;
  EXPECT_TRUE(Has(other->Run("cat " + Quoted(passwordFile)), "Permission denied"));
  // A guessed key is no key.
  EXPECT_EQ(other->Run(CurlStatus(site + "/?corvala_key=" + std::string(32, '0'))), "403");

  // The owner: root over TCP with the password only, and through the socket without one.
  EXPECT_TRUE(Has(AsOwner(TcpSql(mysqlPort, "SELECT 1")), "ERROR 1045"));
  EXPECT_EQ(AsOwner(TcpSql(mysqlPort, "SELECT CURRENT_USER()", rootPassword)), "root@127.0.0.1\n");
  EXPECT_EQ(AsOwner(SocketSql(socket, "SELECT CURRENT_USER()")), "root@localhost\n");

  // The external browser's hand-over: its command line names a page only the owner reads, which
  // opens the address with the key; that address sets a strict cookie and opens the site without it.
  const std::string parameters = launcher->Value("browser_parameters");
  EXPECT_FALSE(Has(parameters, key)) << parameters;
  ASSERT_TRUE(parameters.starts_with("file:///")) << parameters;
  std::string handOverPage;
  for (size_t i = std::string("file://").size(); i < parameters.size(); ++i)
    if (parameters[i] == '%' && i + 2 < parameters.size()) {
      handOverPage += static_cast<char>(std::stoi(parameters.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      handOverPage += parameters[i];
    }
  EXPECT_EQ(ModeOf(handOverPage) & 0777, 0600u) << handOverPage;
  const std::string handOver = site + "/?corvala_key=" + key;
  EXPECT_TRUE(Has(AsOwner("cat " + Quoted(handOverPage)), "url=" + handOver + "\""));
  EXPECT_TRUE(Has(other->Run("cat " + Quoted(handOverPage)), "Permission denied"));
  // Read from a file: a command line naming the key would find itself.
  const std::string keyFile = install.Root() + ".key";
  std::ofstream(keyFile) << key << "\n";
  EXPECT_EQ(Shell("grep -l -a -F -f " + Quoted(keyFile) + " /proc/[0-9]*/cmdline 2>/dev/null"), "");
  std::remove(keyFile.c_str());
  const std::string jar = install.Root() + ".cookies";
  const std::string landing = AsOwner("curl -s -D - -c " + Quoted(jar) + " " + Quoted(handOver));
  EXPECT_TRUE(Has(landing, "HTTP/1.1 200 OK")) << landing;
  EXPECT_TRUE(Has(landing, "Set-Cookie: corvala_key=" + key + "; Path=/; HttpOnly; SameSite=Strict"))
      << landing;
  EXPECT_TRUE(Has(landing, "location.replace(location.pathname")) << landing;
  const std::string withCookie = "curl -s -b " + Quoted(jar) + " ";
  const std::string demo = AsOwner(withCookie + Quoted(site + "/"));
  EXPECT_TRUE(Has(demo, "MySQL connected on port " + std::to_string(mysqlPort))) << demo;
  const std::string pma = AsOwner(withCookie + "-L " + Quoted(site + "/phpmyadmin/index.php"));
  EXPECT_TRUE(Has(pma, "Server version")) << pma.substr(0, 2000);
  EXPECT_EQ(AsOwner(withCookie + Quoted(site + "/socket.php")), "mysqli as root@localhost\npdo 42");
  // The site's own requests pass, with the visitor's cookies (WordPress's health check) and
  // without (WordPress's cron); the same cookie-less request from another program of the owner's
  // is refused.
  EXPECT_EQ(AsOwner(withCookie + Quoted(site + "/loopback.php?with_cookies=1")), "loopback 200");
  EXPECT_EQ(AsOwner(withCookie + Quoted(site + "/loopback.php")), "loopback 200");
  EXPECT_EQ(AsOwner(CurlStatus(site + "/index.php")), "403");
  // The second account runs the tree's own Apache as a proxy to the site: same program, but not a
  // worker of the owner's Apache.
  const std::string proxyFolder = install.Root() + ".proxy";
  fs::create_directory(proxyFolder);
  ASSERT_EQ(chown(proxyFolder.c_str(), other->Uid(), 65534), 0);
  const int proxyPort = FreePort();
  const std::string proxyConfig = proxyFolder + "/httpd.conf";
  std::ofstream(proxyConfig)
      << "ServerRoot \"" << install.Path("bin/Apache") << "\"\nPidFile \"" << proxyFolder
      << "/httpd.pid\"\nErrorLog \"" << proxyFolder << "/error.log\"\nListen 127.0.0.1:" << proxyPort
      << "\nServerName 127.0.0.1\nLoadModule mpm_prefork_module mod_mpm_prefork.so\n"
         "LoadModule authz_core_module mod_authz_core.so\nLoadModule proxy_module mod_proxy.so\n"
         "LoadModule proxy_http_module mod_proxy_http.so\nProxyPass / "
      << site << "/\n";
  const std::string apache = Quoted(install.Path("bin/Apache/Apache")) + " -f " + Quoted(proxyConfig);
  const std::string started = other->Run(apache + " -k start");
  const std::string proxy = "http://127.0.0.1:" + std::to_string(proxyPort) + "/index.php";
  std::string viaProxy;
  EXPECT_TRUE(WaitUntil(
      [&] {
        viaProxy = other->Run(CurlStatus(proxy));
        return viaProxy != "000";
      },
      30s, "the second account's proxy"))
      << started << Shell("cat " + Quoted(proxyFolder + "/error.log"));
  EXPECT_EQ(viaProxy, "403");
  other->Run(apache + " -k stop");
  EXPECT_TRUE(
      WaitUntil([&] { return Shell("pgrep -u " + std::string(OtherUser)).empty(); }, 30s, "the proxy's end"));
  fs::remove_all(proxyFolder);
  std::remove(jar.c_str());
  fs::remove_all(fs::path(passwordFile).parent_path());
}

INSTANTIATE_TEST_SUITE_P(Owners, SecondAccount, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &owner) {
                           return owner.param ? "OrdinaryOwner" : "RootOwner";
                         });

TEST_F(PrivacyTest, TurningTheModeOffGivesRootOverTcpItsEmptyPasswordBackOnce)
{
  const std::string tcpRootPassword =
      "SELECT authentication_string FROM mysql.user WHERE User = 'root' AND Host = '127.0.0.1'";
  Start(true);
  const std::string passwordFile = launcher->Value("mysql_password_file");
  EXPECT_TRUE(Has(Shell(TcpSql(mysqlPort, "SELECT 1")), "ERROR 1045"));
  EXPECT_NE(Shell(SocketSql(socket, tcpRootPassword)), "\n");
  EXPECT_EQ(launcher->Stop(), 0);
  launcher.reset();

  Start(false);
  EXPECT_EQ(Shell(TcpSql(mysqlPort, "SELECT 1")), "1\n");
  EXPECT_EQ(Shell(SocketSql(socket, tcpRootPassword)), "\n");
  EXPECT_FALSE(fs::exists(passwordFile));
  // Once given back, a password the user sets is the user's: the next start leaves it alone.
  EXPECT_EQ(Shell(SocketSql(socket, "ALTER USER 'root'@'127.0.0.1' IDENTIFIED BY 'mine'")), "");
  const std::string mine = Shell(SocketSql(socket, tcpRootPassword));
  EXPECT_EQ(launcher->Stop(), 0);
  launcher.reset();
  Start(false);
  EXPECT_EQ(Shell(SocketSql(socket, tcpRootPassword)), mine);
  EXPECT_NE(mine, "\n");
  fs::remove_all(fs::path(passwordFile).parent_path());
}
