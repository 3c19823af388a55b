// The plug-in interface of the nxr runtime.
//
// An extension library (".nxq") exports two C functions, "GetNumPlugins" and "GetPluginInstance",
// and hands out module objects that implement RuntimeModule. The runtime calls a module's methods
// with the calling form as a FormInterface and the decoded arguments.
//
// The declarations below are a binary contract that holds for libraries built with any C++
// compiler for Windows (MinGW GCC, clang, MSVC):
//  - every interface is a class with virtual operations only, one vtable slot per operation, in
//    the order written here; slot 0 is `destroy` instead of a virtual destructor (which takes two
//    slots under GCC and one under MSVC);
//  - member operations use the thiscall convention on 32-bit x86 (NXR_CALL); on x86-64 there is
//    a single convention;
//  - no standard-library type crosses the boundary: texts are UTF-16 `char16_t` pointers. A text
//    passed in is zero-terminated and valid for the duration of the call. A text returned carries
//    its length in an out parameter, stays owned by the object that returned it and stays valid
//    until the next call of the same operation on that object (or its destruction);
//  - booleans are one byte, integers are 32-bit signed.
#pragma once

#include <stdint.h>

#if defined(_M_IX86) || defined(__i386__)
#define NXR_CALL __thiscall
#else
#define NXR_CALL
#endif

#if defined(_WIN32)
#define NXR_EXPORT extern "C" __declspec(dllexport)
#define NXR_CDECL __cdecl
#else
#define NXR_EXPORT extern "C" __attribute__((visibility("default")))
#define NXR_CDECL
#endif

// Window and module handles: the same types as the system's HWND and HINSTANCE.
struct HWND__;
struct HINSTANCE__;

namespace nxr::sdk {

using WindowHandle = HWND__*;
using InstanceHandle = HINSTANCE__*;

// One argument of a script call: UTF-16 characters and their count (not zero-terminated).
struct Text {
  const char16_t* chars;
  int32_t length;
};

// A form of the running application: the window whose movie made a call. The runtime owns every
// form; a plug-in never destroys one (slot 0 is there for the runtime's own use).
class FormInterface {
 public:
  virtual void NXR_CALL destroy() = 0;                                 // 0
  virtual int32_t NXR_CALL getIndex() = 0;                             // 1: 0 is the main form
  virtual WindowHandle NXR_CALL getWindow() = 0;                       // 2: the frame
  virtual InstanceHandle NXR_CALL getInstance() = 0;                   // 3
  virtual WindowHandle NXR_CALL getHostWindow() = 0;                   // 4
  virtual bool NXR_CALL isTopmost() = 0;                               // 5
  virtual const char16_t* NXR_CALL getTitleText(int32_t* length) = 0;  // 6: creation title
  virtual void NXR_CALL setShapeFromFileAt(const char16_t* path, const char16_t* x,
                                           const char16_t* y) = 0;  // 7
  // Calls a movie function with the argument text split at the separator.
  virtual void NXR_CALL callMovieFunction(const char16_t* name, const char16_t* argumentText,
                                          const char16_t* separator) = 0;  // 8
  // The same operation as slot 8.
  virtual void NXR_CALL callMovieFunction2(const char16_t* name, const char16_t* argumentText,
                                           const char16_t* separator) = 0;  // 9
  virtual void NXR_CALL setSizeLimits(const char16_t* maxWidth, const char16_t* maxHeight,
                                      const char16_t* minWidth,
                                      const char16_t* minHeight) = 0;    // 10
  virtual void NXR_CALL disableDragDrop() = 0;                           // 11
  virtual void NXR_CALL enableDragDrop() = 0;                            // 12
  virtual void NXR_CALL gotoFrame(const char16_t* frame) = 0;            // 13
  virtual void NXR_CALL gotoLabel(const char16_t* label) = 0;            // 14
  virtual void NXR_CALL hide() = 0;                                      // 15
  virtual void NXR_CALL removeShape() = 0;                               // 16
  virtual void NXR_CALL showTitleBar(const char16_t* show) = 0;          // 17
  virtual void NXR_CALL maximize() = 0;                                  // 18
  virtual void NXR_CALL minimize() = 0;                                  // 19
  virtual void NXR_CALL restore() = 0;                                   // 20
  virtual void NXR_CALL setFocus() = 0;                                  // 21
  virtual void NXR_CALL setStatusText(const char16_t* text) = 0;         // 22
  virtual void NXR_CALL shake(const char16_t* count) = 0;                // 23
  virtual void NXR_CALL show() = 0;                                      // 24
  virtual void NXR_CALL unused25(const char16_t* argument) = 0;          // 25: does nothing
  virtual void NXR_CALL unused26(const char16_t* argument) = 0;          // 26: does nothing
  virtual void NXR_CALL setShapeFromFile(const char16_t* path) = 0;      // 27
  virtual const char16_t* NXR_CALL runModal(int32_t* length) = 0;        // 28
  virtual void NXR_CALL showStatusBar() = 0;                             // 29
  virtual void NXR_CALL enableDrag() = 0;                                // 30
  virtual void NXR_CALL disableDrag() = 0;                               // 31
  virtual int32_t NXR_CALL getAlpha() = 0;                               // 32
  virtual void NXR_CALL setAlpha(const char16_t* alpha) = 0;             // 33
  virtual void NXR_CALL setBaseUrl(const char16_t* url) = 0;             // 34
  virtual void NXR_CALL setBgColor(const char16_t* color) = 0;           // 35
  virtual int32_t NXR_CALL getHeight() = 0;                              // 36
  virtual void NXR_CALL setHeight(const char16_t* height) = 0;           // 37
  virtual bool NXR_CALL isCreated() = 0;                                 // 38
  virtual void NXR_CALL setTitle(const char16_t* title) = 0;             // 39
  virtual void NXR_CALL setTitleUnicode(const char16_t* title) = 0;      // 40
  virtual const char16_t* NXR_CALL getTitle(int32_t* length) = 0;        // 41: current window text
  virtual bool NXR_CALL isVisible() = 0;                                 // 42
  virtual void NXR_CALL setVisible(const char16_t* visible) = 0;         // 43
  virtual int32_t NXR_CALL getWidth() = 0;                               // 44
  virtual void NXR_CALL setWidth(const char16_t* width) = 0;             // 45
  virtual const char16_t* NXR_CALL getWindowState(int32_t* length) = 0;  // 46: max, min or nor
  virtual int32_t NXR_CALL getX() = 0;                                   // 47
  virtual void NXR_CALL setX(const char16_t* x) = 0;                     // 48
  virtual int32_t NXR_CALL getY() = 0;                                   // 49
  virtual void NXR_CALL setY(const char16_t* y) = 0;                     // 50
  virtual void NXR_CALL showMaxButton(bool on) = 0;                      // 51
  virtual void NXR_CALL showMinButton(bool on) = 0;                      // 52
  virtual void NXR_CALL showSysButton(bool on) = 0;                      // 53
  virtual void NXR_CALL close() = 0;                                     // 54
  virtual void NXR_CALL setStyle(const char16_t* styleName) = 0;         // 55
  virtual void NXR_CALL unused56(const char16_t* argument) = 0;          // 56: does nothing
  virtual void NXR_CALL setLeftMouseMode(const char16_t* mode) = 0;      // 57
  virtual void NXR_CALL setMiddleMouseMode(const char16_t* mode) = 0;    // 58
  virtual void NXR_CALL setRightMouseMode(const char16_t* mode) = 0;     // 59
  virtual void NXR_CALL setVariable(const char16_t* name, const char16_t* value) = 0;         // 60
  virtual bool NXR_CALL setScaleMode(int32_t mode) = 0;                                       // 61
  virtual bool NXR_CALL setAlignMode(int32_t mode) = 0;                                       // 62
  virtual const char16_t* NXR_CALL getVariable(const char16_t* name, int32_t* length) = 0;    // 63
  virtual bool NXR_CALL loadMovie(int32_t layer, const char16_t* url) = 0;                    // 64
  virtual bool NXR_CALL setBaseUrlChecked(const char16_t* url) = 0;                           // 65
  virtual bool NXR_CALL setVariableChecked(const char16_t* name, const char16_t* value) = 0;  // 66
  virtual void NXR_CALL enableExitHandler() = 0;                                              // 67
  virtual void NXR_CALL addMenuSeparator(const char16_t* menu) = 0;                           // 68
  virtual void NXR_CALL addMenu(const char16_t* menu) = 0;                                    // 69
  virtual void NXR_CALL addMenuItem(const char16_t* menu, const char16_t* item) = 0;          // 70
  virtual void NXR_CALL checkMenuItem(const char16_t* menu, const char16_t* item,
                                      bool on) = 0;  // 71
  virtual void NXR_CALL enableMenuItem(const char16_t* menu, const char16_t* item,
                                       bool on) = 0;  // 72
  virtual void NXR_CALL showMenuItem(const char16_t* menu, const char16_t* item,
                                     bool on) = 0;                                       // 73
  virtual void NXR_CALL removeMenu(const char16_t* menu) = 0;                            // 74
  virtual void NXR_CALL removeMenuItem(const char16_t* menu, const char16_t* item) = 0;  // 75
  virtual void NXR_CALL setMenuClickMode(const char16_t* mode) = 0;                      // 76
  virtual void NXR_CALL hideTrayIcon() = 0;                                              // 77
  virtual void NXR_CALL addTraySeparator() = 0;                                          // 78
  virtual void NXR_CALL addTrayItem(const char16_t* item) = 0;                           // 79
  virtual void NXR_CALL checkTrayItem(const char16_t* item, bool on) = 0;                // 80
  virtual void NXR_CALL enableTrayItem(const char16_t* item, bool on) = 0;               // 81
  virtual void NXR_CALL showTrayItem(const char16_t* item, bool on) = 0;                 // 82
  virtual void NXR_CALL removeTrayItem(const char16_t* item) = 0;                        // 83
  virtual void NXR_CALL setTrayIcon(const char16_t* iconPath) = 0;                       // 84
  virtual void NXR_CALL showBalloon(const char16_t* title, const char16_t* message,
                                    const char16_t* icon, int32_t timeout,
                                    const char16_t* callbackName) = 0;         // 85
  virtual void NXR_CALL showTrayIcon() = 0;                                    // 86
  virtual void NXR_CALL setTrayClickMode(const char16_t* mode) = 0;            // 87
  virtual void NXR_CALL setTrayTip(const char16_t* tip) = 0;                   // 88
  virtual void NXR_CALL disableContextMenu() = 0;                              // 89
  virtual void NXR_CALL enableContextMenu() = 0;                               // 90
  virtual void NXR_CALL addContextSeparator() = 0;                             // 91
  virtual void NXR_CALL addContextItem(const char16_t* item) = 0;              // 92
  virtual void NXR_CALL checkContextItem(const char16_t* item, bool on) = 0;   // 93
  virtual void NXR_CALL enableContextItem(const char16_t* item, bool on) = 0;  // 94
  virtual void NXR_CALL showContextItem(const char16_t* item, bool on) = 0;    // 95
  virtual void NXR_CALL removeContextItem(const char16_t* item) = 0;           // 96
  virtual void NXR_CALL setContextClickMode(const char16_t* mode) = 0;         // 97
  virtual const char16_t* NXR_CALL getAppTrayMode(int32_t* length) = 0;        // 98
  virtual void NXR_CALL setAppTrayMode(const char16_t* mode) = 0;              // 99
  virtual const char16_t* NXR_CALL getAppContextMode(int32_t* length) = 0;     // 100
  virtual void NXR_CALL setAppContextMode(const char16_t* mode) = 0;           // 101
  virtual void NXR_CALL setMouseMoveExits(bool on) = 0;                        // 102
  virtual void NXR_CALL setKeyPressExits(bool on) = 0;                         // 103
  // Hands a ready ExternalInterface request to the movie; the reply is dropped.
  virtual bool NXR_CALL sendInvokeRequest(const char16_t* request) = 0;  // 104
  // Sets the movie variable "nxr.__callFunction" to name + "!}}v{}!" + argumentText.
  virtual bool NXR_CALL setCallVariable(const char16_t* name,
                                        const char16_t* argumentText) = 0;  // 105

 protected:
  ~FormInterface() = default;
};

class RuntimeModule;

// What the runtime offers a plug-in module (given through RuntimeModule::setHost).
class ModuleHost {
 public:
  virtual void NXR_CALL destroy() = 0;                                       // 0: the runtime's own
  virtual FormInterface* NXR_CALL findForm(int32_t index) = 0;               // 1: null when absent
  virtual FormInterface* NXR_CALL findFormByName(const char16_t* name) = 0;  // 2
  virtual RuntimeModule* NXR_CALL findModule(const char16_t* name) = 0;      // 3

 protected:
  ~ModuleHost() = default;
};

// One script method of a module ("exit" of "nxr.Application"). Owned by its module.
class ModuleMethod {
 public:
  virtual void NXR_CALL destroy() = 0;  // 0
  // Carries the call out for the calling form with the decoded arguments and returns the result
  // text; the text is the method's own and stays valid until its next invoke.
  virtual const char16_t* NXR_CALL invoke(FormInterface* form, const Text* arguments,
                                          int32_t argumentCount,
                                          int32_t* resultLength) = 0;  // 1
  // The method's script name, owned by the method.
  virtual const char16_t* NXR_CALL methodName(int32_t* length) = 0;  // 2

 protected:
  ~ModuleMethod() = default;
};

// A script module ("nxr.Application", "nxr.FileSystem", ...). Plug-in modules belong to their
// library: the runtime calls releaseMethods before it unloads the library and never destroys them.
class RuntimeModule {
 public:
  virtual void NXR_CALL destroy() = 0;  // 0
  // Creates the module's methods; false means the module could not be set up.
  virtual bool NXR_CALL registerMethods() = 0;  // 1
  // Destroys every method of the module.
  virtual void NXR_CALL releaseMethods() = 0;  // 2
  // Called about every 40 ms on the runtime's command thread once the application is running.
  virtual void NXR_CALL onTick() = 0;                                // 3
  virtual const char16_t* NXR_CALL getAuthor(int32_t* length) = 0;   // 4
  virtual const char16_t* NXR_CALL getVersion(int32_t* length) = 0;  // 5
  // The full script name, such as "nxr.FileSystem".
  virtual const char16_t* NXR_CALL getName(int32_t* length) = 0;  // 6
  // The method of that exact name, or null.
  virtual ModuleMethod* NXR_CALL findMethod(const char16_t* name, int32_t length) = 0;  // 7
  // The runtime's services; set before the module is registered.
  virtual void NXR_CALL setHost(ModuleHost* host) = 0;  // 8
  // 1 for modules made for this interface.
  virtual int32_t NXR_CALL interfaceNumber() = 0;  // 9

 protected:
  ~RuntimeModule() = default;
};

// The runtime's interface number.
constexpr int32_t kInterfaceNumber = 1;

}  // namespace nxr::sdk

// Exports of a plug-in library (C names, caller removes the arguments):
//   NXR_EXPORT int32_t NXR_CDECL GetNumPlugins(void);
//   NXR_EXPORT nxr::sdk::RuntimeModule* NXR_CDECL GetPluginInstance(int32_t index);
using NxrGetNumPlugins = int32_t(NXR_CDECL*)();
using NxrGetPluginInstance = nxr::sdk::RuntimeModule*(NXR_CDECL*)(int32_t index);
