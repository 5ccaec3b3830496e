#include "reset/registration_reset.hpp"

#include <gtest/gtest.h>

#include "common/destination_table.hpp"
#include "platform/fault_file_system.hpp"
#include "support/sandbox.hpp"

namespace bk {
namespace {

constexpr std::string_view kSomeDestinations = "D:\\BK\n*\nD:\\BK\n*\n*\n0\n";

FileInfo File(std::string name) {
  FileInfo f;
  f.name = std::move(name);
  f.attributes = attr::kArchive;
  return f;
}

TEST(RegistrationReset, SelectsIniFilesInAnyCase) {
  EXPECT_TRUE(IsRegistrationFile(File("DBK1.ini")));
  EXPECT_TRUE(IsRegistrationFile(File("x.INI")));
  EXPECT_TRUE(IsRegistrationFile(File("mixed.iNi")));
  EXPECT_TRUE(IsRegistrationFile(File(".ini")));
  EXPECT_TRUE(IsRegistrationFile(File("\x95\x5C.ini")));  // "表.ini": the 0x5C is part of 表

  EXPECT_FALSE(IsRegistrationFile(File("ini")));
  EXPECT_FALSE(IsRegistrationFile(File("a.ini.txt")));
  EXPECT_FALSE(IsRegistrationFile(File("a.inix")));
  EXPECT_FALSE(IsRegistrationFile(File("a_ini")));
  EXPECT_FALSE(IsRegistrationFile(File("ToDrive.txt")));

  FileInfo folder = File("lists.ini");
  folder.attributes = attr::kDirectory;
  EXPECT_FALSE(IsRegistrationFile(folder));
  // A name with a character code page 932 lacks is carried exactly (an escape), so it is
  // a list file like any other.
  EXPECT_TRUE(IsRegistrationFile(File("caf\x1B" "00E9.ini")));
  // After a lead byte the '.' would be that character's second byte, not an extension.
  EXPECT_FALSE(IsRegistrationFile(File("a\x83.INI")));
}

TEST(RegistrationReset, DeletesTheListsAndEmptiesTheDestinations) {
  test::Sandbox box;
  box.Write("BkList\\DBK1.ini", "S:\\a\n");
  box.Write("BkList\\x.INI", "S:\\b\n");
  box.Write("BkList\\\x95\x5C.ini", "S:\\c\n");
  box.Write("BkList\\notes.txt", "keep\n");
  box.Write("BkList\\SizePos.txt", "12\n");
  box.Write("BkList\\sub.ini\\inner.ini", "nested\n");  // a folder, and a file below BkList's level
  box.Write("BkList\\ToDrive.txt", kSomeDestinations);
  box.Write("S:\\BK\\copy.ini", "a backup\n");

  const ResetOutcome r = ResetRegistrations(box.fs());
  EXPECT_TRUE(test::Succeeded(r.listing));
  EXPECT_TRUE(test::Succeeded(r.destinations));
  EXPECT_EQ(r.deleted, 3);
  EXPECT_EQ(r.skipped, 0);

  EXPECT_FALSE(box.Exists("BkList\\DBK1.ini"));
  EXPECT_FALSE(box.Exists("BkList\\x.INI"));
  EXPECT_FALSE(box.Exists("BkList\\\x95\x5C.ini"));
  EXPECT_EQ(box.Read("BkList\\notes.txt"), "keep\n");
  EXPECT_EQ(box.Read("BkList\\SizePos.txt"), "12\n");
  EXPECT_EQ(box.Read("BkList\\sub.ini\\inner.ini"), "nested\n");
  EXPECT_EQ(box.Read("S:\\BK\\copy.ini"), "a backup\n");
  EXPECT_EQ(box.Read("BkList\\ToDrive.txt"), "*\n*\n*\n*\n1\n");
  EXPECT_FALSE(box.Exists("BkList\\ToDrive.txt.new"));

  // Running it again finds nothing more to delete and leaves the same file.
  const ResetOutcome again = ResetRegistrations(box.fs());
  EXPECT_EQ(again.deleted, 0);
  EXPECT_EQ(box.Read("BkList\\ToDrive.txt"), "*\n*\n*\n*\n1\n");
}

TEST(RegistrationReset, AFileThatCannotBeDeletedIsSkipped) {
  test::Sandbox box;
  box.Write("BkList\\DBK1.ini", "1\n");
  box.Write("BkList\\DBK2.ini", "2\n");
  box.Write("BkList\\DBK3.ini", "3\n");
  box.Write("BkList\\ToDrive.txt", kSomeDestinations);
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::DeleteFile, "DBK2", err::kSharingViolation});

  const ResetOutcome r = ResetRegistrations(faulty);
  EXPECT_EQ(r.deleted, 2);
  EXPECT_EQ(r.skipped, 1);
  EXPECT_FALSE(box.Exists("BkList\\DBK1.ini"));
  EXPECT_EQ(box.Read("BkList\\DBK2.ini"), "2\n");
  EXPECT_FALSE(box.Exists("BkList\\DBK3.ini"));
  EXPECT_EQ(box.Read("BkList\\ToDrive.txt"), "*\n*\n*\n*\n1\n");
}

TEST(RegistrationReset, AFailedRewriteKeepsTheOldDestinations) {
  test::Sandbox box;
  box.Write("BkList\\ToDrive.txt", kSomeDestinations);
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::Rename, "ToDrive", err::kAccessDenied});

  const ResetOutcome r = ResetRegistrations(faulty);
  EXPECT_EQ(r.destinations.code, err::kAccessDenied);
  EXPECT_EQ(box.Read("BkList\\ToDrive.txt"), kSomeDestinations);
  EXPECT_FALSE(box.Exists("BkList\\ToDrive.txt.new"));
}

// Without the listing the lists cannot be deleted; emptying the destinations alone would
// leave them behind, to come back when the same destination is registered again.
TEST(RegistrationReset, AnUnreadableFolderChangesNothingAndIsTold) {
  test::Sandbox box;
  box.Write("BkList\\DBK1.ini", "1\n");
  box.Write("BkList\\ToDrive.txt", kSomeDestinations);
  FaultFileSystem faulty(box.fs());
  for (std::uint32_t code : {err::kAccessDenied, err::kNotReady, err::kPathNotFound}) {
    SCOPED_TRACE(code);
    faulty.Clear();
    faulty.Add({FsOp::ListFolder, "BkList", code});
    const ResetOutcome r = ResetRegistrations(faulty);
    EXPECT_EQ(r.listing.code, code);
    EXPECT_EQ(r.deleted, 0);
    EXPECT_EQ(box.Read("BkList\\DBK1.ini"), "1\n");
    EXPECT_EQ(box.Read("BkList\\ToDrive.txt"), kSomeDestinations);
    EXPECT_EQ(ResetFailureText(faulty, r), faulty.ErrorMessage(code) + "\nBkList");
  }
}

// What went wrong is told: the list that stayed, the destinations not emptied.
TEST(RegistrationReset, EveryFailureIsToldAndASuccessSaysNothing) {
  test::Sandbox box;
  box.Write("BkList\\DBK1.ini", "1\n");
  box.Write("BkList\\DBK2.ini", "2\n");
  box.Write("BkList\\ToDrive.txt", kSomeDestinations);
  FaultFileSystem faulty(box.fs());
  faulty.Add({FsOp::DeleteFile, "DBK2", err::kSharingViolation});
  faulty.Add({FsOp::Rename, "ToDrive", err::kAccessDenied});
  ResetOutcome r = ResetRegistrations(faulty);
  EXPECT_EQ(ResetFailureText(faulty, r), faulty.ErrorMessage(err::kSharingViolation) + "\nBkList\\DBK2.ini\n\n" +
                                             faulty.ErrorMessage(err::kAccessDenied) + "\nBkList\\ToDrive.txt");
  faulty.Clear();
  r = ResetRegistrations(faulty);
  EXPECT_EQ(r.deleted, 1);
  EXPECT_EQ(ResetFailureText(faulty, r), "");
  EXPECT_EQ(box.Read("BkList\\ToDrive.txt"), "*\n*\n*\n*\n1\n");
}

}  // namespace
}  // namespace bk
