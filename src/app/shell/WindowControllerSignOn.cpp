#include "app/shell/WindowController.h"
#include "vnlib/dev/request/VnRequestResult.h"

// The main window's part in signing a member in: the single-sign-on client's delegate and the
// library's own sign-in. Not yet written: these answer nothing.

void WindowController::configureSignOn() {}

void WindowController::settingViewClickForLogIn() {}

void WindowController::settingViewClickForLogOut() {}

void WindowController::authRequest_didFinishWithResponse(int, std::string) {}

void WindowController::authRequest_didFailWithError(int, std::string) {}

void WindowController::authenticationWithVarnelLibrary(std::string) {}

void WindowController::signin_request_didFinishWithResult(Ref<plat::Object>, Ref<VnRequestResult>) {
}
