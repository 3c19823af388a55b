// The runtime's entry function. The command line is read by the Application module itself.
#include <windows.h>

#include "app/application.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return nxr::runApplication(instance);
}
