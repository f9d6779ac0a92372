// Start-up figures of whole processes on an X display (run it under
// xvfb-run): time from exec to the first top-level window mapped, and the
// process's private memory once that window is up. Several programs are
// measured in one run, round after round, so that the machine's state is the
// same for all of them.
//
//   startup_bench [--runs N] [--settle-ms M] [--accept] PROGRAM [-- PEER ...]
//
// The first program is ours. With --accept, its first window (the start-up
// notice) is accepted with a Return key through XTEST, and the time from the
// key to the main window mapped is measured too. Peers are other programs,
// each given as one argument (split at blanks), e.g. "cutecom".

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start, Clock::time_point end)
{
    return std::chrono::duration<double, std::milli>(end - start).count();
}

struct Options
{
    int runs = 20;
    int settleMs = 1000;
    bool accept = false;
    std::vector<std::vector<std::string>> programs; // [0] is ours
};

std::vector<std::string> splitWords(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

[[noreturn]] void usage(int status)
{
    std::fputs("usage: startup_bench [--runs N] [--settle-ms M] [--accept] PROGRAM [-- PEER ...]\n"
               "  Run under an X server, e.g.:\n"
               "  xvfb-run -a startup_bench --accept build/app/vantrel -- cutecom\n",
               status == 0 ? stdout : stderr);
    std::exit(status);
}

Options parseOptions(int argc, char **argv)
{
    Options options;
    bool peers = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!peers && arg == "--runs" && i + 1 < argc)
            options.runs = std::atoi(argv[++i]);
        else if (!peers && arg == "--settle-ms" && i + 1 < argc)
            options.settleMs = std::atoi(argv[++i]);
        else if (!peers && arg == "--accept")
            options.accept = true;
        else if (!peers && (arg == "--help" || arg == "-h"))
            usage(0);
        else if (arg == "--")
            peers = true;
        else if (!peers && !arg.empty() && arg[0] == '-')
            usage(2);
        else if (!peers && !options.programs.empty())
            usage(2);
        else
            options.programs.push_back(splitWords(arg));
    }
    if (options.programs.empty() || options.runs < 1)
        usage(2);
    return options;
}

// Memory of a live process from /proc/PID/smaps_rollup, in kB.
struct Memory
{
    long rss = 0;
    long pss = 0;
    long privateKb = 0; // Private_Clean + Private_Dirty
    long anonymous = 0;
};

std::optional<Memory> readMemory(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    if (!in)
        return std::nullopt;
    Memory memory;
    std::string key;
    long value = 0;
    std::string unit;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        if (!(fields >> key >> value))
            continue;
        if (key == "Rss:")
            memory.rss = value;
        else if (key == "Pss:")
            memory.pss = value;
        else if (key == "Private_Clean:" || key == "Private_Dirty:")
            memory.privateKb += value;
        else if (key == "Anonymous:")
            memory.anonymous = value;
    }
    return memory;
}

class Display
{
public:
    Display()
    {
        m_connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_connection)) {
            std::fputs("startup_bench: cannot reach the X display (run it under xvfb-run -a)\n",
                       stderr);
            std::exit(1);
        }
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        m_pidAtom = atom("_NET_WM_PID");
        const xcb_query_extension_reply_t *xtest =
            xcb_get_extension_data(m_connection, &xcb_test_id);
        m_hasXTest = xtest != nullptr && xtest->present;
        xcb_flush(m_connection);
    }
    ~Display() { xcb_disconnect(m_connection); }
    Display(const Display &) = delete;
    Display &operator=(const Display &) = delete;

    struct Mapped
    {
        xcb_window_t window = 0;
        Clock::time_point at;
    };

    // Waits for a top-level, non-override-redirect window of pid (or of any
    // process when the window does not say) other than those in skip.
    std::optional<Mapped> waitForMap(pid_t pid, const std::vector<xcb_window_t> &skip,
                                     Clock::time_point deadline)
    {
        const int fd = xcb_get_file_descriptor(m_connection);
        while (Clock::now() < deadline) {
            while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
                const auto at = Clock::now();
                std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
                if ((event->response_type & 0x7F) != XCB_MAP_NOTIFY)
                    continue;
                const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
                if (map->override_redirect ||
                    std::find(skip.begin(), skip.end(), map->window) != skip.end())
                    continue;
                const std::optional<std::uint32_t> owner = windowPid(map->window);
                if (owner && static_cast<pid_t>(*owner) != pid)
                    continue;
                return Mapped{map->window, at};
            }
            if (xcb_connection_has_error(m_connection))
                return std::nullopt;
            pollfd p{fd, POLLIN, 0};
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            ::poll(&p, 1, static_cast<int>(std::max<long long>(1, left.count())));
        }
        return std::nullopt;
    }

    [[nodiscard]] bool hasXTest() const { return m_hasXTest; }

    // Focus the window and press Return, as an operator accepting a box.
    void pressReturn(xcb_window_t window)
    {
        xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        const xcb_keycode_t key = returnKeycode();
        xcb_test_fake_input(m_connection, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(m_connection, XCB_KEY_RELEASE, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0,
                            0);
        xcb_flush(m_connection);
    }

    // Drops the events of the previous program.
    void drain()
    {
        xcb_aux_sync();
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

private:
    void xcb_aux_sync()
    {
        std::free(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

    xcb_atom_t atom(const char *name)
    {
        auto cookie =
            xcb_intern_atom(m_connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
            xcb_intern_atom_reply(m_connection, cookie, nullptr), &std::free);
        return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    }

    std::optional<std::uint32_t> windowPid(xcb_window_t window)
    {
        auto cookie = xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(m_connection, cookie, nullptr), &std::free);
        if (!reply || xcb_get_property_value_length(reply.get()) < 4)
            return std::nullopt;
        return *static_cast<std::uint32_t *>(xcb_get_property_value(reply.get()));
    }

    xcb_keycode_t returnKeycode()
    {
        const xcb_setup_t *setup = xcb_get_setup(m_connection);
        const auto first = setup->min_keycode;
        const int count = setup->max_keycode - first + 1;
        auto cookie =
            xcb_get_keyboard_mapping(m_connection, first, static_cast<std::uint8_t>(count));
        std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&std::free)> reply(
            xcb_get_keyboard_mapping_reply(m_connection, cookie, nullptr), &std::free);
        if (reply) {
            const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(reply.get());
            const int perCode = reply->keysyms_per_keycode;
            for (int code = 0; code < count; ++code)
                if (syms[code * perCode] == 0xff0d) // XK_Return
                    return static_cast<xcb_keycode_t>(first + code);
        }
        return 36; // Return on the usual evdev keymap
    }

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_pidAtom = XCB_ATOM_NONE;
    bool m_hasXTest = false;
};

struct Sample
{
    std::optional<double> firstMapMs;   // exec -> first window mapped
    std::optional<double> acceptToMain; // Return on the notice -> main window mapped
    std::optional<Memory> memoryFirst;  // with the first window up
    std::optional<Memory> memoryMain;   // with the main window up (after accepting)
};

pid_t spawn(const std::vector<std::string> &command)
{
    std::vector<char *> argv;
    for (const std::string &word : command)
        argv.push_back(const_cast<char *>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The programs' chatter would disturb the figures' table.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        std::fprintf(stderr, "startup_bench: cannot start %s: %s\n", argv[0], std::strerror(error));
        std::exit(1);
    }
    return pid;
}

void stop(pid_t pid)
{
    ::kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        ::usleep(10'000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

void settle(int ms)
{
    ::usleep(static_cast<useconds_t>(ms) * 1000);
}

Sample measure(Display &display, const std::vector<std::string> &command, bool accept, int settleMs)
{
    Sample sample;
    display.drain();
    const auto start = Clock::now();
    const pid_t pid = spawn(command);
    const auto first = display.waitForMap(pid, {}, start + std::chrono::seconds(20));
    if (first) {
        sample.firstMapMs = msSince(start, first->at);
        settle(settleMs);
        sample.memoryFirst = readMemory(pid);
        if (accept && display.hasXTest()) {
            const auto pressed = Clock::now();
            display.pressReturn(first->window);
            const auto main =
                display.waitForMap(pid, {first->window}, pressed + std::chrono::seconds(20));
            if (main) {
                sample.acceptToMain = msSince(pressed, main->at);
                settle(settleMs);
                sample.memoryMain = readMemory(pid);
            }
        }
    }
    stop(pid);
    return sample;
}

struct Stats
{
    double median = 0, low = 0, high = 0;
    std::size_t count = 0;
};

Stats stats(std::vector<double> values)
{
    Stats s;
    s.count = values.size();
    if (values.empty())
        return s;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    s.low = values.front();
    s.high = values.back();
    return s;
}

void printTime(const char *what, const std::vector<double> &values)
{
    const Stats s = stats(values);
    if (s.count == 0) {
        std::printf("  %-34s no window seen\n", what);
        return;
    }
    std::printf("  %-34s median %7.1f ms   min %7.1f   max %7.1f   (n=%zu)\n", what, s.median,
                s.low, s.high, s.count);
}

struct MemoryMedians
{
    double anonymous = 0, privateAll = 0, pss = 0, rss = 0; // MB
};

MemoryMedians medians(const std::vector<Memory> &values)
{
    auto mb = [&](long Memory::*field) {
        std::vector<double> kb;
        for (const Memory &m : values)
            kb.push_back(double(m.*field));
        return stats(std::move(kb)).median / 1024.0;
    };
    return {mb(&Memory::anonymous), mb(&Memory::privateKb), mb(&Memory::pss), mb(&Memory::rss)};
}

// Anonymous memory is what the process itself allocated; the library pages
// that only this process happens to map count as private too, but they are
// file pages another Qt program would share.
void printMemory(const char *what, const std::vector<Memory> &values)
{
    if (values.empty())
        return;
    const MemoryMedians m = medians(values);
    std::printf("  %-34s anonymous %5.1f MB   private incl. unshared library pages %5.1f MB   "
                "PSS %5.1f MB   RSS %5.1f MB\n",
                what, m.anonymous, m.privateAll, m.pss, m.rss);
}

double loadAverage()
{
    double load = 0;
    if (FILE *f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1)
            load = 0;
        std::fclose(f);
    }
    return load;
}

std::string joined(const std::vector<std::string> &words)
{
    std::string text;
    for (const std::string &w : words)
        text += (text.empty() ? "" : " ") + w;
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    const Options options = parseOptions(argc, argv);
    Display display;
    if (options.accept && !display.hasXTest())
        std::fputs("startup_bench: the X server has no XTEST; --accept is ignored\n", stderr);

    std::printf("startup_bench: %d rounds (+1 warm-up), memory read %d ms after each map, load "
                "average %.2f\n",
                options.runs, options.settleMs, loadAverage());
    std::fflush(stdout);

    std::vector<std::vector<Sample>> samples(options.programs.size());
    for (int round = 0; round <= options.runs; ++round) {
        for (std::size_t p = 0; p < options.programs.size(); ++p) {
            const bool ours = p == 0;
            Sample sample =
                measure(display, options.programs[p], ours && options.accept, options.settleMs);
            if (round > 0) // the first round fills the page cache
                samples[p].push_back(sample);
        }
    }

    for (std::size_t p = 0; p < options.programs.size(); ++p) {
        std::vector<double> first, accept;
        std::vector<Memory> memFirst, memMain;
        for (const Sample &s : samples[p]) {
            if (s.firstMapMs)
                first.push_back(*s.firstMapMs);
            if (s.acceptToMain)
                accept.push_back(*s.acceptToMain);
            if (s.memoryFirst)
                memFirst.push_back(*s.memoryFirst);
            if (s.memoryMain)
                memMain.push_back(*s.memoryMain);
        }
        std::printf("\n%s%s\n", joined(options.programs[p]).c_str(), p == 0 ? "  (ours)" : "");
        printTime(p == 0 ? "exec -> start-up notice mapped" : "exec -> window mapped", first);
        printMemory(p == 0 ? "memory, notice up" : "memory, window up", memFirst);
        if (p == 0 && options.accept) {
            printTime("Return on notice -> window mapped", accept);
            printMemory("memory, window up", memMain);
        }
    }
    std::vector<double> ours;
    std::vector<Memory> oursMemory;
    for (const Sample &s : samples[0]) {
        if (s.firstMapMs)
            ours.push_back(*s.firstMapMs);
        if (s.memoryMain)
            oursMemory.push_back(*s.memoryMain);
        else if (s.memoryFirst)
            oursMemory.push_back(*s.memoryFirst);
    }
    const double median = stats(ours).median;
    const double anonymous = oursMemory.empty() ? 0 : medians(oursMemory).anonymous;
    std::printf("\ntargets (ours): exec -> start-up notice mapped <= 86 ms median: %.1f ms, %s\n"
                "                anonymous memory <= 14 MB (window up): %.1f MB, %s\n"
                "load average at the end %.2f\n",
                median, !ours.empty() && median <= 86 ? "met" : "MISSED", anonymous,
                !oursMemory.empty() && anonymous <= 14 ? "met" : "MISSED", loadAverage());
    return 0;
}
