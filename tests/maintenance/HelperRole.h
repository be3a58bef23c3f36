#pragma once

// Roles of the test program when it stands in for the launcher (CORVALA_TEST_ROLE set):
//   downsize FLAGS...   the real "downsize" mode
//   hold                waits until it is killed (another process of the same file)
//   anything else       writes its arguments, one per line, to the file $CORVALA_TEST_RECORD
inline constexpr char HelperRoleVariable[] = "CORVALA_TEST_ROLE";
inline constexpr char RecordFileVariable[] = "CORVALA_TEST_RECORD";

int RunHelperRole(int argc, char **argv);
