// The Windows links over the active connection table and DialDefault.
#include "dialup/windows/RasLinks.h"

#include <windows.h>
#include <ras.h>

#include <charconv>
#include <string_view>

#include "dialup/windows/mRas.h"
#include "runtime/CutAtNul.h"

namespace orvane::dialup {

namespace {

constexpr UINT kHeard = WM_APP + 1;
constexpr UINT_PTR kSettleTimer = 1;
// A connection is announced before its projection may be read, and a burst of events settles:
// the table is looked at once they have stopped for this long.
constexpr UINT kSettleMs = 250;
constexpr const char* kWindowClass = "OrvaneRasWatch";

// What would be published from a listing: the first link's address, when it has one.
std::optional<std::string> Published(const std::vector<DialUpLink>& links) {
    if (links.empty() || links.front().address.empty()) return std::nullopt;
    return links.front().identifier + " " + links.front().address;
}

LRESULT CALLBACK WatchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* links = reinterpret_cast<RasLinks*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (links != nullptr && message == kHeard) {
        links->Heard();
        return 0;
    }
    if (links != nullptr && message == WM_TIMER && wParam == kSettleTimer) {
        KillTimer(window, kSettleTimer);
        links->LookAgain();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// On a thread of the pool: only posts, so that everything else runs on the program's thread.
void CALLBACK EventSignalled(void* window, BOOLEAN) {
    PostMessageA(static_cast<HWND>(window), kHeard, 0, 0);
}

}  // namespace

RasLinks::RasLinks(std::unique_ptr<RemoteAccess> service, WindowHandle parent)
    : service_(std::move(service)), parent_(parent) {}

RasLinks::~RasLinks() {
    // Waits for a callback under way, so none posts to a window that is gone.
    if (registeredWait_ != nullptr) UnregisterWaitEx(registeredWait_, INVALID_HANDLE_VALUE);
    if (window_ != nullptr) DestroyWindow(static_cast<HWND>(window_));
    if (event_ != nullptr) CloseHandle(event_);
}

void RasLinks::WatchChanges(EventWait& wait, std::function<void()> changed) {
    wait_ = &wait;
    changed_ = std::move(changed);
    published_ = Published(ActiveLinks(wait));
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WatchWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);  // fails harmlessly when already registered
    HWND window = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  windowClass.hInstance, nullptr);
    event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (window == nullptr || event_ == nullptr) return;
    window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    const DWORD events = RASCN_Connection | RASCN_Disconnection;
    // Without notifications (a system without the service) the countdown alone publishes.
    if (RasConnectionNotificationA(static_cast<::HRASCONN>(INVALID_HANDLE_VALUE), event_, events) !=
        ERROR_SUCCESS)
        return;
    HANDLE registered = nullptr;
    if (RegisterWaitForSingleObject(&registered, event_, EventSignalled, window, INFINITE,
                                    WT_EXECUTEDEFAULT))
        registeredWait_ = registered;
}

// The first event of a burst starts the wait; later ones fall within it.
void RasLinks::Heard() {
    if (settling_) return;
    settling_ = true;
    SetTimer(static_cast<HWND>(window_), kSettleTimer, kSettleMs, nullptr);
}

void RasLinks::LookAgain() {
    settling_ = false;
    if (wait_->StopRequested()) return;
    const std::optional<std::string> before = published_;
    ActiveLinks(*wait_);
    if (published_ && published_ != before) changed_();
}

std::vector<DialUpLink> RasLinks::ActiveLinks(EventWait&) {
    mRas::ConnectionTable table;
    const int32_t count = mRas::EnumerateConnections(*service_, table);
    std::vector<DialUpLink> links;
    for (int32_t n = 1; n <= count; ++n) {
        const mRas::ConnectionInfo& entry = table.At(n);
        const std::string_view device(entry.szDeviceName, sizeof entry.szDeviceName);
        links.push_back(DialUpLink{std::to_string(entry.hrasconn), entry.EntryName,
                                   CutAtNul(device), entry.Address});
    }
    published_ = Published(links);
    return links;
}

DialOutcome RasLinks::Dial(const std::string& entry, EventWait&) {
    uint32_t connection = 0;  // the dialler's identifier; the connection's handle is listed
    return mRas::DialDefault(*service_, entry, connection, parent_) != 0 ? DialOutcome::LinkUp
                                                                         : DialOutcome::Failed;
}

bool RasLinks::HangUp(const DialUpLink& link, EventWait&) {
    HRASCONN handle = 0;
    const char* end = link.identifier.data() + link.identifier.size();
    const auto [stop, error] = std::from_chars(link.identifier.data(), end, handle);
    if (error != std::errc() || stop != end) return false;
    return service_->RasHangUpA(handle) == 0;
}

}  // namespace orvane::dialup
