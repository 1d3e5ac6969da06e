// Xvfb started on a free display, watched through xcb: MapNotify on the root's children, and
// DamageNotify on the root (which takes in drawing into every window on it).
#include "bench/PrivateDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>
#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace orvane::bench {

namespace {

constexpr auto kServerStartLimit = std::chrono::seconds(15);

[[noreturn]] void Throw(const std::string& what) {
    throw std::runtime_error("PrivateDisplay: " + what);
}

// Reads the display number Xvfb writes to the -displayfd pipe once it accepts connections.
int ReadDisplayNumber(int fd) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + kServerStartLimit;
    while (text.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd waiting{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
            Throw("Xvfb did not report its display in time");
        char buffer[32];
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0)
            Throw("Xvfb ended before reporting its display (is the xvfb package installed?)");
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return std::atoi(text.c_str());
}

bool Inside(const xcb_rectangle_t& area, int x, int y, int width, int height) {
    return area.x < x + width && x < area.x + area.width && area.y < y + height &&
           y < area.y + area.height;
}

}  // namespace

PrivateDisplay::PrivateDisplay() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) Throw("pipe");
    // The write end becomes descriptor 3 of Xvfb (dup2 clears close-on-exec there).
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    const int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
    posix_spawn_file_actions_adddup2(&actions, devNull, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, devNull, STDERR_FILENO);
    std::vector<std::string> argv = {"/usr/bin/Xvfb", "-displayfd", "3", "-nolisten",
                                     "tcp",           "-screen",    "0", "1280x1024x24",
                                     "-noreset"};
    std::vector<char*> args;
    for (auto& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(devNull);
    close(fds[1]);
    if (error != 0) {
        close(fds[0]);
        Throw("cannot start /usr/bin/Xvfb: " + std::string(std::strerror(error)));
    }
    try {
        number_ = ReadDisplayNumber(fds[0]);
    } catch (...) {
        close(fds[0]);
        kill(pid, SIGKILL);
        throw;
    }
    close(fds[0]);
    server_ = std::make_unique<Child>(pid);
    Connect();
    WatchRoot();
}

PrivateDisplay::~PrivateDisplay() {
    if (connection_ != nullptr) xcb_disconnect(connection_);
}

void PrivateDisplay::Connect() {
    int screenNumber = 0;
    connection_ = xcb_connect(Name().c_str(), &screenNumber);
    if (xcb_connection_has_error(connection_)) Throw("cannot connect to " + Name());
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber; ++i) xcb_screen_next(&screens);
    root_ = screens.data->root;
}

void PrivateDisplay::WatchRoot() {
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, root_, XCB_CW_EVENT_MASK, &mask);

    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection_, &xcb_damage_id);
    if (damage == nullptr || !damage->present) Throw("the X server has no DAMAGE extension");
    damageEvent_ = damage->first_event + XCB_DAMAGE_NOTIFY;
    free(xcb_damage_query_version_reply(
        connection_,
        xcb_damage_query_version(connection_, XCB_DAMAGE_MAJOR_VERSION, XCB_DAMAGE_MINOR_VERSION),
        nullptr));
    xcb_damage_create(connection_, xcb_generate_id(connection_), root_,
                      XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    if (xcb_connection_has_error(connection_)) Throw("lost the connection to " + Name());
}

void PrivateDisplay::Forget() {
    free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) free(event);
}

std::optional<PrivateDisplay::Shown> PrivateDisplay::WaitForWindow(
    std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::optional<TimePoint> mapped;
    int x = 0, y = 0, width = 0, height = 0;
    for (;;) {
        xcb_generic_event_t* event = xcb_poll_for_event(connection_);
        if (event == nullptr) {
            if (xcb_connection_has_error(connection_)) return std::nullopt;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd waiting{xcb_get_file_descriptor(connection_), POLLIN, 0};
            if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) == 0)
                return std::nullopt;
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_MAP_NOTIFY && !mapped) {
            const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
            xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(
                connection_, xcb_get_geometry(connection_, map->window), nullptr);
            if (geometry != nullptr && !map->override_redirect) {
                mapped = now;
                x = geometry->x, y = geometry->y;
                width = geometry->width, height = geometry->height;
            }
            free(geometry);
        } else if (type == damageEvent_ && mapped) {
            const auto* damage = reinterpret_cast<xcb_damage_notify_event_t*>(event);
            if (Inside(damage->area, x, y, width, height)) {
                free(event);
                return Shown{*mapped, now, width, height};
            }
        }
        free(event);
    }
}

}  // namespace orvane::bench
