#include "update/UpdateCheck.h"

#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "ZipMaker.h"

#include "platform/Prompter.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

#include <sys/stat.h>
#include <unistd.h>

namespace {

void WriteFile(const QString &path, const QByteArray &content)
{
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(content);
}

// Every file and folder below root (folders as "<folder>") by relative path.
QMap<QString, QByteArray> Tree(const QString &root)
{
  QMap<QString, QByteArray> tree;
  QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QFileInfo info(it.next());
    tree[QDir(root).relativeFilePath(info.filePath())] = info.isDir() ? "<folder>" : ReadAll(info.filePath());
  }
  return tree;
}

const QString kHead = QStringLiteral("Open temp file...  ok!\r\nOpen internet connection... ok!\r\n");
const QString kUnable = QStringLiteral(" Error!\r\n\r\nUnable to check for updates!\r\n\r\n\r\nFinish!");

class UpdateCheckTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(m_dir.isValid());
    ASSERT_TRUE(m_server.Listen());
    m_prog = m_dir.filePath("prog");
    m_temp = m_dir.filePath("tmp");
    QDir().mkpath(m_prog);
    QDir().mkpath(m_temp);
    m_worker.SetProgramFolder(m_prog);
    m_worker.SetTempFolder(m_temp);
    ASSERT_TRUE(m_worker.CreateWorker());
  }

  QByteArray Url(const QByteArray &path) const { return m_server.BaseUrl() + path; }
  // A file's section of the server's list: no Version line when version is empty.
  QByteArray Section(const QByteArray &name, const QByteArray &version, const QByteArray &path,
                     qsizetype length = -1) const
  {
    QByteArray s = "[" + name + "]\r\n" + (version.isEmpty() ? "" : "Version=" + version + "\r\n");
    s += "URL=" + Url(path) + "\r\n";
    return length < 0 ? s : s + "Length=" + QByteArray::number(length) + "\r\n";
  }
  void Start()
  {
    m_worker.SetRunFlag(1);
    m_worker.Start(QString::fromLatin1(m_server.BaseUrl()), QStringLiteral("Velo-Trix"), QStringLiteral("update.htm"));
  }
  bool Finished(int timeoutMs = 5000)
  {
    return WaitFor([this] { return m_worker.IsFinished() != 0; }, timeoutMs);
  }
  // True once the first piece of a stalled list has arrived: the worker is inside the transfer.
  bool InsideTheTransfer()
  {
    return WaitFor([this] { return ReadAll(m_temp + "/Velo-Trix.tmp") == "[Velo"; }, 10000);
  }

  // Runs one update and answers the log after its "Start at" line.
  QString RunUpdate()
  {
    Start();
    EXPECT_TRUE(Finished(20000));
    const QString log = m_worker.GetLog();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Start at \\d\\d:\\d\\d:\\d\\d\\r\\n")).match(log).hasMatch())
        << log.toStdString();
    return log.mid(log.indexOf(u'\n') + 1);
  }

  TestEnvironment m_env;
  QTemporaryDir m_dir;
  LocalHttpServer m_server;
  QString m_prog;
  QString m_temp;
  CUpdateCheck m_worker;
};

TEST_F(UpdateCheckTest, UpdatesChangedFilesAndTheLocalList)
{
  const QByteArray mainBin = QByteArray(20000, 'M') + "end";
  const QByteArray manual = "manual text\n";
  const QByteArray pack =
      ZipBytes({{.name = "bin/", .unixMode = 040755},
                {.name = "bin/velotrix-tool", .data = "#!/bin/sh\necho tool\n", .unixMode = 0100755},
                {.name = "readme.txt", .data = "read me", .unixMode = 0100644}});

  const QByteArray list =
      "[Velo-Trix]\r\nVersion=2.1.26\r\nMain.bin=1\r\ndocs/manual.txt=1\r\npack.zip=1\r\nwrong.bin=1\r\n"
      "missing.bin=1\r\nsame.txt=1\r\noff.txt=0\r\ncasever.txt=1\r\n../escape.txt=1\r\n/etc/abs.txt=1\r\n"
      "noversion.txt=1\r\npage.bin=1\r\nhelp.html=1\r\n\r\n" +
      Section("Main.bin", "2.0", "files/main.bin", mainBin.size()) +
      Section("docs/manual.txt", "1", "files/manual.txt", 0) + Section("pack.zip", "5", "files/pack.zip", pack.size()) +
      Section("wrong.bin", "3", "files/wrong.bin", 999) + Section("missing.bin", "1", "files/missing.bin") +
      Section("same.txt", "7", "files/same.txt") + Section("off.txt", "9", "files/off.txt") +
      Section("casever.txt", "ABC", "files/casever.txt") + Section("../escape.txt", "1", "files/escape.txt") +
      Section("/etc/abs.txt", "1", "files/escape.txt") + Section("noversion.txt", "", "files/noversion.txt") +
      Section("page.bin", "2", "files/page.bin") + Section("help.html", "1", "files/help.html");
  m_server.Serve("/update.htm", list);
  m_server.Serve("/files/main.bin", mainBin);
  m_server.Serve("/files/manual.txt", manual);
  m_server.Serve("/files/pack.zip", pack);
  m_server.Serve("/files/wrong.bin", "only a few bytes");
  m_server.Serve("/files/escape.txt", "escaped");
  // An error page with a success status is no program file; a web page of our own is.
  m_server.Serve("/files/page.bin", {200, "<html>Not here</html>", false, "Text/HTML; charset=UTF-8"});
  m_server.Serve("/files/help.html", {200, "<html>help</html>", false, "text/html"});

  WriteFile(m_prog + "/update.txt", "; installed versions\r\n"
                                    "[same.txt]\r\nVersion=7\r\n[casever.txt]\r\nversion=abc\r\n"
                                    "[wrong.bin]\r\nVersion=2\r\n");
  WriteFile(m_prog + "/wrong.bin", "old wrong");
  WriteFile(m_prog + "/page.bin", "old page");
  WriteFile(m_prog + "/Main.bin", "old main");
  ASSERT_EQ(::chmod(QFile::encodeName(m_prog + "/Main.bin").constData(), 04555), 0);

  EXPECT_EQ(RunUpdate(), kHead + "Files that should be updated:\r\n"
                                 "   Main.bin\r\n   docs/manual.txt\r\n   pack.zip\r\n   wrong.bin\r\n"
                                 "   missing.bin\r\n   ../escape.txt\r\n   /etc/abs.txt\r\n   page.bin\r\n"
                                 "   help.html\r\n"
                                 "\r\nStart download:"
                                 "\r\n  download Main.bin : done"
                                 "\r\n  download docs/manual.txt : done"
                                 "\r\n  download pack.zip : done"
                                 "\r\n  download wrong.bin : download problem"
                                 "\r\n  download missing.bin : download problem"
                                 "\r\n  download ../escape.txt : name refused"
                                 "\r\n  download /etc/abs.txt : name refused"
                                 "\r\n  download page.bin : download problem (the server sent a web page)"
                                 "\r\n  download help.html : done"
                                 "\r\n\r\nFinish!");

  EXPECT_EQ(ReadAll(m_prog + "/Main.bin"), mainBin);
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(m_prog + "/Main.bin").constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u); // the old mode, writable by its owner, never setuid
  EXPECT_EQ(ReadAll(m_prog + "/docs/manual.txt"), manual);
  EXPECT_EQ(ReadAll(m_prog + "/wrong.bin"), "old wrong");
  EXPECT_EQ(ReadAll(m_prog + "/page.bin"), "old page");
  EXPECT_FALSE(QFile::exists(m_prog + "/missing.bin"));
  EXPECT_FALSE(QFile::exists(m_prog + "/pack.zip"));
  EXPECT_EQ(ReadAll(m_prog + "/readme.txt"), "read me");
  ASSERT_EQ(::stat(QFile::encodeName(m_prog + "/bin/velotrix-tool").constData(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  EXPECT_FALSE(QFile::exists(m_dir.filePath("escape.txt")));
  EXPECT_FALSE(QFile::exists(m_prog + "/../escape.txt"));
  // The temporary file holds the list byte for byte.
  EXPECT_EQ(ReadAll(m_temp + "/Velo-Trix.tmp"), list);
  // Nothing but the expected files: no temporary names left behind.
  QStringList files = QDir(m_prog).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
  files.sort();
  EXPECT_EQ(files,
            (QStringList{"Main.bin", "bin", "docs", "help.html", "page.bin", "readme.txt", "update.txt", "wrong.bin"}));

  EXPECT_EQ(ReadAll(m_prog + "/update.txt"), "; installed versions\r\n"
                                             "[same.txt]\r\nVersion=7\r\n[casever.txt]\r\nversion=abc\r\n"
                                             "[wrong.bin]\r\nVersion=2\r\n"
                                             "\r\n[Main.bin]\r\nVersion=2.0\r\n\r\n[docs/manual.txt]\r\nVersion=1\r\n"
                                             "\r\n[pack.zip]\r\nVersion=5\r\n\r\n[help.html]\r\nVersion=1\r\n");

  ASSERT_FALSE(m_server.requests.isEmpty());
  const QByteArray head = m_server.requests.first();
  EXPECT_TRUE(head.startsWith("GET /update.htm HTTP/1.1\r\n"));
  EXPECT_TRUE(head.contains("\r\nUser-Agent: Update search"));
  EXPECT_TRUE(head.contains("\r\nPragma: no-cache"));
  EXPECT_TRUE(head.contains("\r\nCache-Control: no-cache"));

  // A second run replaces the log; nothing differs any more.
  m_server.Serve("/files/wrong.bin", QByteArray(999, 'w'));
  m_server.Serve("/files/missing.bin", "here now");
  const QString again = RunUpdate();
  EXPECT_TRUE(again.contains("download wrong.bin : done"));
  EXPECT_FALSE(again.contains("Main.bin"));
  EXPECT_EQ(m_worker.GetLog().count(QStringLiteral("Start at")), 1);
}

TEST_F(UpdateCheckTest, ListProblemsAreNeverSuccess)
{
  // No list on the server: its error page is not a list.
  EXPECT_EQ(RunUpdate(), kHead.left(kHead.size() - 6) + kUnable);
  EXPECT_EQ(ReadAll(m_temp + "/Velo-Trix.tmp"), "");
  // Nor is a server error's text, an empty answer or a maintenance page.
  for (const auto &route : {LocalHttpServer::Route{500, "[Velo-Trix]\r\nVersion=1\r\n", false},
                            {200, "", false},
                            {200, "<html><body>Back soon</body></html>", false, "text/html"}}) {
    m_server.Serve("/update.htm", route);
    EXPECT_TRUE(RunUpdate().endsWith(kUnable)) << route.status;
  }

  // Without a base address there is nothing to ask (and no host is guessed).
  m_worker.SetRunFlag(1);
  m_worker.Start(QString(), "Velo-Trix", "update.htm");
  ASSERT_TRUE(Finished());
  EXPECT_TRUE(m_worker.GetLog().endsWith(kUnable));

  m_server.Serve("/update.htm", "[Velo-Trix]\r\nVERSION=3\r\nfile.bin=0\r\n[file.bin]\r\nVersion=9\r\n");
  EXPECT_EQ(RunUpdate(), kHead + "All files updated!\r\n\r\n\r\nFinish!");
  EXPECT_FALSE(QFile::exists(m_prog + "/update.txt"));
}

TEST_F(UpdateCheckTest, RedirectionsStayOnHttp)
{
  const QString secret = m_dir.filePath("secret.txt");
  WriteFile(secret, "local secret");
  const QByteArray fileUrl = "file://" + QFile::encodeName(secret);
  m_server.Serve("/real.htm", "[Velo-Trix]\r\nmoved.bin=1\r\nlocal.bin=1\r\n" + Section("moved.bin", "1", "old") +
                                  Section("local.bin", "1", "tofile"));
  m_server.Redirect("/update.htm", Url("real.htm"));
  m_server.Redirect("/old", Url("new"));
  m_server.Serve("/new", "moved content");
  m_server.Redirect("/tofile", fileUrl);
  EXPECT_TRUE(RunUpdate().endsWith("\r\n  download moved.bin : done"
                                   "\r\n  download local.bin : download problem\r\n\r\nFinish!"));
  EXPECT_EQ(ReadAll(m_prog + "/moved.bin"), "moved content");
  EXPECT_FALSE(QFile::exists(m_prog + "/local.bin"));

  m_server.Redirect("/update.htm", fileUrl);
  EXPECT_TRUE(RunUpdate().endsWith(kUnable));
}

TEST_F(UpdateCheckTest, TemporaryFileIsNotWrittenThroughALink)
{
  // Neither a link nor a second name of another file is a temporary file of
  // ours: it is neither emptied nor filled with the list.
  const QString victim = m_dir.filePath("victim.txt");
  const QString temp = m_temp + "/Velo-Trix.tmp";
  WriteFile(victim, "keep me");
  m_server.Serve("/update.htm", "[Velo-Trix]\r\n");
  for (const bool hard : {false, true}) {
    SCOPED_TRACE(hard ? "hard link" : "symbolic link");
    if (hard)
      ASSERT_EQ(::link(QFile::encodeName(victim).constData(), QFile::encodeName(temp).constData()), 0);
    else
      ASSERT_TRUE(QFile::link(victim, temp));
    Start();
    ASSERT_TRUE(Finished(10000));
    EXPECT_EQ(m_worker.GetLog(), "Open temp file: can't create!");
    EXPECT_EQ(ReadAll(victim), "keep me");
    EXPECT_TRUE(m_server.requests.isEmpty());
    ASSERT_EQ(::unlink(QFile::encodeName(temp).constData()), 0);
  }

  // A stale file of our own is reused, emptied, and readable by us alone.
  WriteFile(temp, QByteArray(5000, 'z'));
  ASSERT_EQ(::chmod(QFile::encodeName(temp).constData(), 0666), 0);
  EXPECT_EQ(RunUpdate(), kHead + "All files updated!\r\n\r\n\r\nFinish!");
  EXPECT_EQ(ReadAll(temp), "[Velo-Trix]\r\n");
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(temp).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(UpdateCheckTest, FolderLinksInTheProgramFolderAreNotFollowed)
{
  // "docs" and "pack" lead out of the program folder; nothing may land there.
  const QString outside = m_dir.filePath("outside");
  QDir().mkpath(outside);
  ASSERT_TRUE(QFile::link(outside, m_prog + "/docs"));
  ASSERT_TRUE(QFile::link(outside, m_prog + "/pack"));
  m_server.Serve("/update.htm", "[Velo-Trix]\r\ndocs/manual.txt=1\r\npack/p.zip=1\r\nreal/ok.txt=1\r\n" +
                                    Section("docs/manual.txt", "1", "manual") + Section("pack/p.zip", "1", "zip") +
                                    Section("real/ok.txt", "1", "ok"));
  m_server.Serve("/manual", "manual");
  m_server.Serve("/zip", ZipBytes({{.name = "inner.txt", .data = "inner"}}));
  m_server.Serve("/ok", "ok");

  EXPECT_EQ(RunUpdate(), kHead + "Files that should be updated:\r\n"
                                 "   docs/manual.txt\r\n   pack/p.zip\r\n   real/ok.txt\r\n"
                                 "\r\nStart download:"
                                 "\r\n  download docs/manual.txt : name refused"
                                 "\r\n  download pack/p.zip : name refused"
                                 "\r\n  download real/ok.txt : done"
                                 "\r\n\r\nFinish!");
  EXPECT_TRUE(QDir(outside).isEmpty());
  EXPECT_EQ(ReadAll(m_prog + "/real/ok.txt"), "ok");
  CIni local(m_prog + "/update.txt");
  EXPECT_EQ(local.GetSectionNames(), QStringList{"real/ok.txt"});

  // An archive entry through such a link takes the whole archive with it.
  m_server.Serve("/update.htm", "[Velo-Trix]\r\nlinks.zip=1\r\n" + Section("links.zip", "1", "links"));
  m_server.Serve("/links",
                 ZipBytes({{.name = "docs/inner.txt", .data = "inner"}, {.name = "fine.txt", .data = "fine"}}));
  RunUpdate();
  EXPECT_TRUE(QDir(outside).isEmpty());
  EXPECT_FALSE(QFile::exists(m_prog + "/fine.txt"));
  EXPECT_EQ(local.GetSectionNames(), QStringList{"real/ok.txt"});
}

TEST_F(UpdateCheckTest, NamesWithAZeroByteAreRefused)
{
  // No file name holds a zero byte; the part before it must not be checked alone.
  const QByteArray name("cut\0/../../x.txt", 16);
  m_server.Serve("/update.htm", "[Velo-Trix]\r\n" + name + "=1\r\n" + Section(name, "1", "x"));
  m_server.Serve("/x", "x");
  const QString shown = QString::fromLatin1(name);
  EXPECT_EQ(RunUpdate(), kHead + "Files that should be updated:\r\n   " + shown +
                             "\r\n"
                             "\r\nStart download:"
                             "\r\n  download " +
                             shown +
                             " : name refused"
                             "\r\n\r\nFinish!");
  EXPECT_TRUE(m_env.prompter().asked.empty());
  EXPECT_TRUE(QDir(m_prog).isEmpty());
}

TEST_F(UpdateCheckTest, StopDuringASlowDownloadEndsPromptly)
{
  m_server.Serve("/update.htm", "[Velo-Trix]\r\nslow.bin=1\r\nnext.bin=1\r\n" +
                                    Section("slow.bin", "1", "slow", 100000000) + Section("next.bin", "1", "next"));
  m_server.Serve("/slow", LocalHttpServer::Route{200, QByteArray(5000, 's'), true});
  m_server.Serve("/next", "next");
  WriteFile(m_prog + "/slow.bin", "old slow");
  Start();
  ASSERT_TRUE(WaitFor([this] { return m_worker.GetProgress() > 0.0; }, 10000));
  EXPECT_LT(m_worker.GetProgress(), 1.0);
  QElapsedTimer timer;
  timer.start();
  m_worker.SetRunFlag(0);
  ASSERT_TRUE(Finished());
  EXPECT_LT(timer.elapsed(), 3000);
  EXPECT_TRUE(m_worker.GetLog().endsWith("\r\n  download slow.bin : download problem\r\n\r\nUser stop!"))
      << m_worker.GetLog().toStdString();
  EXPECT_FALSE(m_server.paths.contains("/next"));
  EXPECT_EQ(ReadAll(m_prog + "/slow.bin"), "old slow");
  EXPECT_FALSE(QFile::exists(m_prog + "/update.txt"));
}

TEST_F(UpdateCheckTest, UnwritableProgramFolderChangesNothing)
{
  m_server.Serve("/update.htm", "[Velo-Trix]\r\na.bin=1\r\n" + Section("a.bin", "1", "a"));
  m_server.Serve("/a", "new a");
  const QString missing = m_dir.filePath("no-such-folder");
  m_worker.SetProgramFolder(missing);
  EXPECT_EQ(RunUpdate(), kHead +
                             "Files that should be updated:\r\n   a.bin\r\n"
                             "\r\nThe program folder " +
                             missing +
                             "/ is not writable: nothing was changed.\r\n"
                             "\r\n\r\nFinish!");
  EXPECT_FALSE(QFile::exists(missing));
  EXPECT_FALSE(m_server.paths.contains("/a"));
  if (::geteuid() != 0) { // permissions do not bind root
    ASSERT_EQ(::chmod(QFile::encodeName(m_prog).constData(), 0555), 0);
    m_worker.SetProgramFolder(m_prog);
    EXPECT_TRUE(RunUpdate().contains("is not writable: nothing was changed."));
    ::chmod(QFile::encodeName(m_prog).constData(), 0755);
    EXPECT_TRUE(QDir(m_prog).isEmpty());
  }
}

TEST_F(UpdateCheckTest, CopyAndUnpackFailuresKeepTheOldState)
{
  // Each archive but UP.ZIP fails somewhere; none may leave a file of it behind.
  QByteArray cut = ZipBytes({{.name = "a.txt", .data = "new a"}, {.name = "c.txt", .data = "new c"}});
  cut.chop(40);
  QByteArray badSum = ZipBytes({{.name = "a.txt", .data = "new a"}, {.name = "c.txt", .data = "new c", .store = true}});
  badSum[badSum.indexOf("new c")] = 'N';
  const QByteArray big = QByteArray(200 << 10, 'b');
  m_server.Serve("/update.htm",
                 "[Velo-Trix]\r\nblocked/x.bin=1\r\nevil.zip=1\r\nUP.ZIP=1\r\nbroken.zip=1\r\nbadsum.zip=1\r\n"
                 "full.zip=1\r\nfolder.zip=1\r\nbound.zip=1\r\nspace.zip=1\r\nlist.zip=1\r\n" +
                     Section("blocked/x.bin", "1", "x") + Section("evil.zip", "1", "evil") +
                     Section("UP.ZIP", "4", "up") + Section("broken.zip", "1", "broken") +
                     Section("badsum.zip", "1", "badsum") + Section("full.zip", "1", "full") +
                     Section("folder.zip", "1", "folder") + Section("bound.zip", "1", "bound") +
                     Section("space.zip", "1", "space") + Section("list.zip", "1", "list"));
  m_server.Serve("/x", "x");
  m_server.Serve("/evil",
                 ZipBytes({{.name = "good.txt", .data = "good"}, {.name = "..\\..\\evil.txt", .data = "evil"}}));
  m_server.Serve("/up", ZipBytes({{.name = "from-upper.txt", .data = "upper"}}));
  m_server.Serve("/broken", cut);
  m_server.Serve("/badsum", badSum);
  // big.bin is over the file size limit below: the write fails after a.txt is unpacked.
  m_server.Serve("/full", ZipBytes({{.name = "a.txt", .data = "new a"},
                                    {.name = "big.bin", .data = big},
                                    {.name = "c.txt", .data = "new c"}}));
  // b.txt is a folder in the program folder: its rename fails after a.txt's.
  m_server.Serve("/folder", ZipBytes({{.name = "a.txt", .data = "new a"}, {.name = "b.txt", .data = "new b"}}));
  m_server.Serve("/bound",
                 ZipBytes({{.name = "a.txt", .data = "new a"}, {.name = "huge.bin", .data = big.repeated(11)}}));
  // More than the free space set below (which full.zip's entries fit).
  m_server.Serve("/space", ZipBytes({{.name = "a.txt", .data = "new a"}, {.name = "space.bin", .data = big + big}}));
  m_server.Serve("/list", ZipBytes({{.name = "a.txt", .data = "new a"}, {.name = "./update.txt", .data = "[x]"}}));
  // "blocked" is a file, so nothing can be created below it.
  WriteFile(m_prog + "/blocked", "a file");
  WriteFile(m_prog + "/a.txt", "old a");
  WriteFile(m_prog + "/big.bin", "old big");
  WriteFile(m_prog + "/c.txt", "old c");
  WriteFile(m_prog + "/b.txt/inside", "inside");
  const QMap<QString, QByteArray> before = Tree(m_prog);
  m_env.prompter().AnswerMessage(IDRETRY);
  m_env.prompter().AnswerMessage(IDCANCEL);
  m_worker.SetUnpackBound(1 << 20);
  m_worker.SetFreeSpaceFigure(300 << 10);

  const QString log = [&] {
    const FileSizeLimit limit(64 << 10);
    return RunUpdate();
  }();

  const QString unchanged = ". Nothing was changed.";
  EXPECT_EQ(log, kHead +
                     "Files that should be updated:\r\n"
                     "   blocked/x.bin\r\n   evil.zip\r\n   UP.ZIP\r\n   broken.zip\r\n   badsum.zip\r\n"
                     "   full.zip\r\n   folder.zip\r\n   bound.zip\r\n   space.zip\r\n   list.zip\r\n"
                     "\r\nStart download:"
                     "\r\n  download blocked/x.bin : local copy problem"
                     "\r\n  download evil.zip : done"
                     "\r\n  unpack ..\\..\\evil.txt: name refused"
                     "\r\n  download UP.ZIP : done"
                     "\r\n  download broken.zip : done"
                     "\r\n  The archive " +
                     m_prog + "/broken.zip is damaged" + unchanged +
                     "\r\n  download badsum.zip : done"
                     "\r\n  The archive " +
                     m_prog + "/badsum.zip is damaged" + unchanged +
                     "\r\n  download full.zip : done"
                     "\r\n  " +
                     m_prog + "/big.bin could not be unpacked: no space left or a file too large" + unchanged +
                     "\r\n  download folder.zip : done"
                     "\r\n  " +
                     m_prog + "/b.txt could not be replaced (Is a directory)" + unchanged +
                     "\r\n  download bound.zip : done"
                     "\r\n  The archive " +
                     m_prog + "/bound.zip is too large to unpack (over 1048576 bytes)" + unchanged +
                     "\r\n  download space.zip : done"
                     "\r\n  " +
                     m_prog + "/space.zip could not be unpacked: no space left or a file too large" + unchanged +
                     "\r\n  download list.zip : done"
                     "\r\n  unpack ./update.txt: name refused"
                     "\r\n\r\nFinish!")
      << log.toStdString();
  // Retry, Cancel for the blocked file, then one box with OK for each failed unpack.
  const auto &asked = m_env.prompter().asked;
  ASSERT_EQ(asked.size(), 8u);
  const QString blocked = "Can't open destination file:\r\n\r\n " + m_prog +
                          "/blocked/x.bin\r\n\r\n"
                          "Please close every program that is using it.";
  EXPECT_EQ(asked[0].text, blocked);
  EXPECT_EQ(asked[0].type & MB_TYPEMASK, unsigned(MB_RETRYCANCEL));
  EXPECT_EQ(asked[1].text, blocked);
  for (size_t i = 2; i < asked.size(); ++i) {
    EXPECT_TRUE(log.contains("\r\n  " + asked[i].text + "\r\n")) << asked[i].text.toStdString();
    EXPECT_EQ(asked[i].type & MB_TYPEMASK, unsigned(MB_OK));
  }

  // Byte for byte as before, but for the one archive that was installed.
  QMap<QString, QByteArray> after = Tree(m_prog);
  EXPECT_EQ(after.take("from-upper.txt"), "upper");
  after.remove("update.txt");
  EXPECT_EQ(after, before);
  EXPECT_FALSE(QFile::exists(m_dir.filePath("evil.txt")));
  CIni local(m_prog + "/update.txt");
  EXPECT_EQ(local.GetSectionNames(), QStringList{"UP.ZIP"});
  EXPECT_EQ(local.GetString("UP.ZIP", "Version"), "4");
}

TEST_F(UpdateCheckTest, ReplacedFilesKeepTheirPermissions)
{
  // dos.zip is made without Unix modes, so the zip layer makes its files read-only.
  m_server.Serve("/update.htm", "[Velo-Trix]\r\ndos.zip=1\r\nunix.zip=1\r\n" + Section("dos.zip", "1", "dos") +
                                    Section("unix.zip", "1", "unix"));
  m_server.Serve("/dos", ZipBytes({{.name = "velotrix", .data = "new velotrix", .dosAttr = 0x20},
                                   {.name = "added.txt", .data = "new added.txt", .dosAttr = 0x20}}));
  m_server.Serve("/unix", ZipBytes({{.name = "tool", .data = "new tool", .unixMode = 0100644},
                                    {.name = "private", .data = "new private", .unixMode = 0100755},
                                    {.name = "setuid", .data = "new setuid", .unixMode = 0100755}}));
  const std::map<QString, mode_t> before{{"velotrix", 0755}, {"tool", 0755}, {"private", 0600}, {"setuid", 04755}};
  for (const auto &[name, mode] : before) {
    WriteFile(m_prog + "/" + name, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(m_prog + "/" + name).constData(), mode), 0);
  }
  RunUpdate();
  // The old file's bits win both ways, less setuid; a new file keeps the zip layer's.
  const std::map<QString, mode_t> after{
      {"velotrix", 0755}, {"tool", 0755}, {"private", 0600}, {"setuid", 0755}, {"added.txt", 0444}};
  for (const auto &[name, mode] : after) {
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(m_prog + "/" + name).constData(), &st), 0) << name.toStdString();
    EXPECT_EQ(st.st_mode & 07777, mode) << name.toStdString();
    EXPECT_EQ(ReadAll(m_prog + "/" + name), "new " + name.toLatin1());
  }
}

TEST_F(UpdateCheckTest, ACopyThatDoesNotFitSaysSo)
{
  // Over the file size limit below: the archive's entry is stored, so the archive is too.
  const QByteArray big(100 << 10, 'n');
  m_server.Serve("/update.htm", "[Velo-Trix]\r\npack.zip=1\r\nplain.bin=1\r\n" + Section("pack.zip", "1", "pack") +
                                    Section("plain.bin", "1", "plain"));
  m_server.Serve("/pack", ZipBytes({{.name = "a.bin", .data = big, .store = true}}));
  m_server.Serve("/plain", big);
  WriteFile(m_prog + "/a.bin", "old a");
  WriteFile(m_prog + "/plain.bin", "old plain");
  const QMap<QString, QByteArray> before = Tree(m_prog);
  m_env.prompter().AnswerMessage(IDCANCEL);
  m_env.prompter().AnswerMessage(IDCANCEL);

  const QString log = [&] {
    const FileSizeLimit limit(64 << 10);
    return RunUpdate();
  }();

  const auto tooLarge = [this](const QString &name) {
    return "The file " + m_prog + "/" + name + " is too large to be written here; nothing was changed.";
  };
  EXPECT_TRUE(log.endsWith("\r\n  download pack.zip : local copy problem\r\n  " + tooLarge("pack.zip") +
                           "\r\n  download plain.bin : local copy problem\r\n  " + tooLarge("plain.bin") +
                           "\r\n\r\nFinish!"))
      << log.toStdString();
  const auto &asked = m_env.prompter().asked;
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].text, tooLarge("pack.zip"));
  EXPECT_EQ(asked[1].text, tooLarge("plain.bin"));
  for (const auto &box : asked)
    EXPECT_EQ(box.type & MB_TYPEMASK, unsigned(MB_RETRYCANCEL));
  // No version recorded, no temporary file left.
  EXPECT_EQ(Tree(m_prog), before);
}

TEST_F(UpdateCheckTest, StagingFoldersOfAKilledUnpackDoNotStay)
{
  // Damaged inside an entry: found while unpacking, after the left folders are looked at.
  QByteArray badSum = ZipBytes({{.name = "a.txt", .data = "new a", .store = true}});
  badSum[badSum.indexOf("new a")] = 'N';
  m_server.Serve("/update.htm", "[Velo-Trix]\r\npack.zip=1\r\n" + Section("pack.zip", "1", "pack"));
  m_server.Serve("/pack", badSum);
  const QString unpacked = m_prog + "/pack.zip.Ab12Cd";
  WriteFile(unpacked + "/new/a.txt", "new a");
  ASSERT_TRUE(QDir().mkpath(unpacked + "/old"));
  const QString backups = m_prog + "/pack.zip.XyZ789";
  WriteFile(backups + "/old/0", "old a");
  // Named alike, but none is a staging folder.
  WriteFile(m_prog + "/pack.zip.file00", "a file");
  const QString target = m_dir.filePath("target");
  WriteFile(target + "/new/a.txt", "target's");
  ASSERT_TRUE(QDir().mkpath(target + "/old"));
  ASSERT_TRUE(QFile::link(target, m_prog + "/pack.zip.link00"));
  WriteFile(m_prog + "/pack.zip.backup/notes.txt", "notes");

  EXPECT_TRUE(RunUpdate().contains("pack.zip is damaged"));
  EXPECT_FALSE(QFile::exists(unpacked));
  EXPECT_EQ(ReadAll(backups + "/old/0"), "old a"); // maybe the only copy of an old file

  m_server.Serve("/pack", ZipBytes({{.name = "a.txt", .data = "new a"}}));
  EXPECT_TRUE(RunUpdate().contains("download pack.zip : done\r\n"));
  EXPECT_FALSE(QFile::exists(backups));
  EXPECT_EQ(ReadAll(m_prog + "/pack.zip.file00"), "a file");
  EXPECT_TRUE(QFileInfo(m_prog + "/pack.zip.link00").isSymLink());
  EXPECT_EQ(ReadAll(target + "/new/a.txt"), "target's");
  EXPECT_TRUE(QFileInfo(target + "/old").isDir());
  EXPECT_EQ(ReadAll(m_prog + "/pack.zip.backup/notes.txt"), "notes");
}

TEST_F(UpdateCheckTest, TemporaryFilesOfAKilledCopyDoNotStay)
{
  m_server.Serve("/update.htm", "[Velo-Trix]\r\ntool.bin=1\r\npack.zip=1\r\n" + Section("tool.bin", "1", "tool") +
                                    Section("pack.zip", "1", "pack"));
  m_server.Serve("/tool", "new tool");
  m_server.Serve("/pack", ZipBytes({{.name = "a.txt", .data = "new a"}}));
  WriteFile(m_prog + "/tool.bin", "old tool");
  const QStringList left{m_prog + "/tool.bin.part-Ab12Cd", m_prog + "/pack.zip.part-Xy34Ef"};
  for (const QString &path : left) {
    WriteFile(path, "cut copy");
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0600), 0);
  }
  // Named alike, but none is such a file.
  const QString linked = m_dir.filePath("linked.txt");
  WriteFile(linked, "linked");
  ASSERT_TRUE(QFile::link(linked, m_prog + "/tool.bin.part-Lk56Mn"));
  ASSERT_TRUE(QDir().mkpath(m_prog + "/tool.bin.part-Fo78Pq"));
  WriteFile(m_prog + "/tool.bin.part-Ab12Cde", "a file");
  WriteFile(m_prog + "/tool.bin.backup", "a file");
  WriteFile(m_prog + "/pack.zip.file00", "a file");

  const QString log = RunUpdate();
  EXPECT_TRUE(log.contains("download tool.bin : done\r\n  download pack.zip : done\r\n")) << log.toStdString();
  for (const QString &path : left)
    EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
  EXPECT_TRUE(QFileInfo(m_prog + "/tool.bin.part-Lk56Mn").isSymLink());
  EXPECT_EQ(ReadAll(linked), "linked");
  EXPECT_TRUE(QFileInfo(m_prog + "/tool.bin.part-Fo78Pq").isDir());
  EXPECT_EQ(ReadAll(m_prog + "/tool.bin.part-Ab12Cde"), "a file");
  EXPECT_EQ(ReadAll(m_prog + "/tool.bin.backup"), "a file");
  EXPECT_EQ(ReadAll(m_prog + "/pack.zip.file00"), "a file");
}

TEST_F(UpdateCheckTest, AStopBeforeTheRenamesChangesNothing)
{
  m_server.Serve("/update.htm", "[Velo-Trix]\r\nstop.zip=1\r\n" + Section("stop.zip", "1", "stop"));
  m_server.Serve("/stop", ZipBytes({{.name = "a.txt", .data = "new a"}, {.name = "b.txt", .data = "new b"}}));
  WriteFile(m_prog + "/a.txt", "old a");
  const QMap<QString, QByteArray> before = Tree(m_prog);
  // A folder in the archive's place: its copy asks to retry. The user stops
  // while asked, so the stop falls after the download, before the unpack.
  WriteFile(m_prog + "/stop.zip/inside", "x");
  m_worker.SetAsker([this](const QString &, unsigned) {
    QDir(m_prog + "/stop.zip").removeRecursively();
    m_worker.RequestStop();
    return IDRETRY;
  });
  EXPECT_TRUE(RunUpdate().endsWith("User stop!"));
  EXPECT_EQ(Tree(m_prog), before);
}

TEST_F(UpdateCheckTest, AVersionThatCannotBeRecordedIsSaid)
{
  m_server.Serve("/update.htm", "[Velo-Trix]\r\nf.bin=1\r\n" + Section("f.bin", "2", "f"));
  m_server.Serve("/f", "new f");
  ASSERT_TRUE(QDir().mkpath(m_prog + "/update.txt")); // the local list cannot be written
  const QString log = RunUpdate();
  EXPECT_EQ(ReadAll(m_prog + "/f.bin"), "new f");
  EXPECT_TRUE(log.contains("f.bin : done: its version could not be recorded in " + m_prog + "/update.txt"))
      << log.toStdString();
}

TEST_F(UpdateCheckTest, DestructionDuringATransferReturnsPromptly)
{
  m_server.Serve("/update.htm", LocalHttpServer::Route{200, "[Velo", true});
  auto worker = std::make_unique<CUpdateCheck>();
  worker->SetProgramFolder(m_prog);
  worker->SetTempFolder(m_temp);
  ASSERT_TRUE(worker->CreateWorker());
  worker->SetRunFlag(1);
  worker->Start(QString::fromLatin1(m_server.BaseUrl()), "Velo-Trix", "update.htm");
  ASSERT_TRUE(InsideTheTransfer());
  QElapsedTimer timer;
  timer.start();
  worker.reset();
  EXPECT_LT(timer.elapsed(), 3000);
}

TEST_F(UpdateCheckTest, StartDuringARunReturnsAtOnceAndStartsNothing)
{
  m_server.Serve("/update.htm", LocalHttpServer::Route{200, "[Velo", true});
  m_server.Serve("/other.htm", "[Velo-Trix]\r\n");
  Start();
  ASSERT_TRUE(InsideTheTransfer());

  // Waiting here for the run would block the GUI thread the worker asks through.
  QElapsedTimer timer;
  timer.start();
  m_worker.Start(QString::fromLatin1(m_server.BaseUrl()), "Velo-Trix", "other.htm");
  EXPECT_LT(timer.elapsed(), 1000);
  EXPECT_EQ(m_worker.IsFinished(), 0);
  // Nor does the folder the run reads change under it.
  EXPECT_FALSE(m_worker.SetProgramFolder(m_dir.filePath("elsewhere")));
  EXPECT_EQ(m_worker.GetProgramFolder(), m_prog + "/");

  m_worker.SetRunFlag(0);
  ASSERT_TRUE(Finished());
  EXPECT_TRUE(m_worker.GetLog().endsWith("User stop!")) << m_worker.GetLog().toStdString();
  EXPECT_EQ(m_worker.GetLog().count(QStringLiteral("Start at")), 1);
  EXPECT_EQ(m_server.paths, QList<QByteArray>{"/update.htm"});
  EXPECT_TRUE(m_worker.SetProgramFolder(m_prog));
}

TEST_F(UpdateCheckTest, AStoppedWorkerStartsAgain)
{
  // A stop before any run, as the dialog's Cancel leaves it.
  m_worker.RequestStop();
  m_server.Serve("/update.htm", "[Velo-Trix]\r\n");
  EXPECT_EQ(RunUpdate(), kHead + "All files updated!\r\n\r\n\r\nFinish!");
  EXPECT_EQ(m_worker.StopRequested(), 0);

  // A stop in the middle of a run, then a new start.
  m_server.Serve("/update.htm", LocalHttpServer::Route{200, "[Velo", true});
  Start();
  ASSERT_TRUE(InsideTheTransfer());
  m_worker.RequestStop();
  ASSERT_TRUE(Finished());
  EXPECT_TRUE(m_worker.GetLog().endsWith("User stop!")) << m_worker.GetLog().toStdString();

  m_server.Serve("/update.htm", "[Velo-Trix]\r\n");
  EXPECT_EQ(RunUpdate(), kHead + "All files updated!\r\n\r\n\r\nFinish!");
}

} // namespace
