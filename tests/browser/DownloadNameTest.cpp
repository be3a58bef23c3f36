#include "browser/DownloadName.h"

#include <QString>
#include <gtest/gtest.h>

namespace
{

int Bytes(const QString &text)
{
  return static_cast<int>(text.toUtf8().size());
}

} // namespace

TEST(SafeFileName, AnOrdinaryNameStaysAsItIs)
{
  EXPECT_EQ(SafeFileName("report 2024.pdf"), "report 2024.pdf");
  EXPECT_EQ(SafeFileName(QString::fromUtf8("Übersicht – März.xlsx")),
            QString::fromUtf8("Übersicht – März.xlsx"));
  EXPECT_EQ(SafeFileName("archive.tar.gz"), "archive.tar.gz");
}

TEST(SafeFileName, ControlCharactersBecomeUnderscores)
{
  EXPECT_EQ(SafeFileName("two\nlines.txt"), "two_lines.txt");
  EXPECT_EQ(SafeFileName("carriage\rreturn.txt"), "carriage_return.txt");
  EXPECT_EQ(SafeFileName("tab\tbed.txt"), "tab_bed.txt");
  EXPECT_EQ(SafeFileName("\x1b[31mred\x1b[0m.txt"), "_[31mred_[0m.txt");
  EXPECT_EQ(SafeFileName(QString("del") + QChar(0x7f) + ".txt"), "del_.txt");
  EXPECT_EQ(SafeFileName(QString("c1") + QChar(0x85) + QChar(0x9b) + ".txt"), "c1__.txt");
  EXPECT_EQ(SafeFileName(QString("nul") + QChar(0) + ".txt"), "nul_.txt");
}

TEST(SafeFileName, DirectionMarksBecomeUnderscores)
{
  // "invoice<RLO>fdp.exe" shows as "invoiceexe.pdf".
  EXPECT_EQ(SafeFileName(QString("invoice") + QChar(0x202e) + "fdp.exe"), "invoice_fdp.exe");
  for (const char16_t mark : {u'\u061c', u'\u200e', u'\u200f', u'\u202a', u'\u202b', u'\u202c', u'\u202d',
                              u'\u2066', u'\u2067', u'\u2068', u'\u2069'})
    EXPECT_EQ(SafeFileName(QString("a") + QChar(mark) + "b.txt"), "a_b.txt") << int(mark);
}

TEST(SafeFileName, OnlyTheLastPathPartIsKept)
{
  EXPECT_EQ(SafeFileName("../../.bashrc"), "bashrc");
  EXPECT_EQ(SafeFileName("/etc/passwd"), "passwd");
  EXPECT_EQ(SafeFileName("C:\\Users\\me\\notes.txt"), "notes.txt");
  EXPECT_EQ(SafeFileName("folder/"), "folder");
}

TEST(SafeFileName, BlanksAndDotsAtTheEndsGo)
{
  EXPECT_EQ(SafeFileName("  .hidden.txt. "), "hidden.txt");
  EXPECT_EQ(SafeFileName(".."), "download");
  EXPECT_EQ(SafeFileName(""), "download");
  EXPECT_EQ(SafeFileName("/", MaxFileNameBytes, "page"), "page");
}

TEST(SafeFileName, ALongNameIsShortenedInItsStemAndKeepsItsExtension)
{
  const QString longName = QString("a").repeated(300) + ".zip";
  const QString shortened = SafeFileName(longName);
  EXPECT_EQ(Bytes(shortened), MaxFileNameBytes);
  EXPECT_TRUE(shortened.endsWith("aaa.zip")) << shortened.toStdString();

  // Two bytes a character: cut between characters, never inside one.
  const QString umlauts = QString(QChar(0xe4)).repeated(200) + ".txt";
  const QString cut = SafeFileName(umlauts);
  EXPECT_LE(Bytes(cut), MaxFileNameBytes);
  EXPECT_GE(Bytes(cut), MaxFileNameBytes - 1);
  EXPECT_TRUE(cut.endsWith(QString(QChar(0xe4)) + ".txt"));
  EXPECT_EQ(QString::fromUtf8(cut.toUtf8()), cut);

  // Four bytes a character, as two UTF-16 units: a pair is never split.
  const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80").repeated(100) + ".png";
  const QString cutEmoji = SafeFileName(emoji);
  EXPECT_LE(Bytes(cutEmoji), MaxFileNameBytes);
  EXPECT_EQ(Bytes(cutEmoji) % 4, 0);
  EXPECT_EQ(QString::fromUtf8(cutEmoji.toUtf8()), cutEmoji);
  EXPECT_TRUE(cutEmoji.endsWith(".png"));
}

TEST(SafeFileName, ALongExtensionIsTextAndIsCutLikeTheRest)
{
  const QString name = "x." + QString("y").repeated(300);
  const QString cut = SafeFileName(name);
  EXPECT_EQ(Bytes(cut), MaxFileNameBytes);
  EXPECT_TRUE(cut.startsWith("x.yyy"));
}

TEST(SafeFileName, ATighterLimitIsKept)
{
  EXPECT_EQ(SafeFileName("abcdefghij.txt", 10), "abcdef.txt");
  EXPECT_EQ(ShortenedFileName("short.txt", 10), "short.txt");
}
