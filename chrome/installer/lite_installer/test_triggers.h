#ifndef CHROME_INSTALLER_LITE_INSTALLER_TEST_TRIGGERS_H_
#define CHROME_INSTALLER_LITE_INSTALLER_TEST_TRIGGERS_H_

// Behaviour that end-to-end tests switch on through environment variables,
// built into lite_installer_local.exe only (LITE_TEST_TRIGGERS), never into
// the product. Child processes inherit the variables, so a relaunched copy
// behaves as its parent.
//
//   LITE_TEST_NO_SAFE_DLL_SEARCH=1   kernel32.dll answers as if it had
//                                    neither SetSearchPathMode nor
//                                    SetDefaultDllDirectories.
//   LITE_TEST_ADMIN_GROUP=0 or 1     the user is outside (0) or inside (1)
//                                    the Administrators group; under Wine
//                                    every user is an administrator, so
//                                    with 0 the window never starts an
//                                    elevated copy.
//   LITE_TEST_DELAY_LOAD_FAILURE=K   calls a delay-loaded function that
//                                    cannot be bound
//                                    (test_delay_load_failures.txt): K is
//                                    missing-library, missing-function,
//                                    missing-user32-function,
//                                    user32-named-library or
//                                    long-function-name,
//                                    once start-up reaches the point named
//                                    by LITE_TEST_DELAY_LOAD_FAILURE_AT
//                                    ("start": before anything of USER32
//                                    was bound; otherwise right after the
//                                    user-interface libraries).

namespace lite_installer {

enum class TriggerPoint { kStart, kAfterUiLibraries };

// Installs what the variables ask for; first thing in wWinMain.
void ArmTestTriggers();

// Fires the delay-load failure when it is due at `point`.
void FireTestTriggers(TriggerPoint point);

}  // namespace lite_installer

#endif  // CHROME_INSTALLER_LITE_INSTALLER_TEST_TRIGGERS_H_
