// libsane-presswickfake: a SANE backend that stands in for the vendor drivers a desk really has.
//   presswickfake:hang   hangs in sane_read
//   presswickfake:crash  crashes in sane_read
//   presswickfake:page   an A4 page at the chosen resolution, with grainy paper and bars of "text"; modes
//                        named as some vendors name them ("Gray[Error Diffusion]" before "True Gray") and
//                        a flatbed as the only source
//   presswickfake:duplex a feeder of PRESSWICK_FAKE_SANE_SHEETS sheets (3 by default) read on one side
//                        ("ADF Front") or both ("ADF Duplex"), beside a flatbed; each side is a small grey
//                        page 100 + n pixels wide, n counting the sides scanned since the device was opened;
//                        each sane_read waits PRESSWICK_FAKE_SANE_READ_MS milliseconds, and sane_cancel
//                        ends the read in progress
// Listing waits PRESSWICK_FAKE_SANE_LIST_MS milliseconds first ("hang": for ever), as network backends do.
#include <sane/sane.h>
#include <sane/saneopts.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

const SANE_Device hang_device{"hang", "Presswick", "Hanging scanner", "flatbed scanner"};
const SANE_Device crash_device{"crash", "Presswick", "Crashing scanner", "flatbed scanner"};
const SANE_Device page_device{"page", "Presswick", "A4 scanner", "flatbed scanner"};
const SANE_Device duplex_device{"duplex", "Presswick", "Duplex scanner", "sheetfed scanner"};
const SANE_Device* devices[] = {&hang_device, &crash_device, &page_device, &duplex_device, nullptr};

SANE_String_Const modes[] = {"Black & White", "Gray[Error Diffusion]", "True Gray", "24bit Color", nullptr};
SANE_String_Const sources[] = {"Flatbed", nullptr};
SANE_String_Const duplex_sources[] = {"Flatbed", "ADF Front", "ADF Duplex", nullptr};
const SANE_Range resolutions{75, 600, 0};

enum Option : SANE_Int { count_option, mode_option, resolution_option, source_option, option_count };

SANE_Option_Descriptor descriptors[option_count] = {
    {SANE_NAME_NUM_OPTIONS,
     "",
     "",
     SANE_TYPE_INT,
     SANE_UNIT_NONE,
     sizeof(SANE_Word),
     SANE_CAP_SOFT_DETECT,
     SANE_CONSTRAINT_NONE,
     {nullptr}},
    {SANE_NAME_SCAN_MODE,
     "",
     "",
     SANE_TYPE_STRING,
     SANE_UNIT_NONE,
     32,
     SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT,
     SANE_CONSTRAINT_STRING_LIST,
     {reinterpret_cast<const SANE_String_Const*>(modes)}},
    {SANE_NAME_SCAN_RESOLUTION,
     "",
     "",
     SANE_TYPE_INT,
     SANE_UNIT_DPI,
     sizeof(SANE_Word),
     SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT,
     SANE_CONSTRAINT_RANGE,
     {nullptr}},
    {SANE_NAME_SCAN_SOURCE,
     "",
     "",
     SANE_TYPE_STRING,
     SANE_UNIT_NONE,
     32,
     SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT,
     SANE_CONSTRAINT_STRING_LIST,
     {reinterpret_cast<const SANE_String_Const*>(sources)}},
};

struct Scanner {
    std::string name;
    std::string mode = "24bit Color";
    SANE_Word dpi = 150;
    SANE_Parameters parameters{};
    std::size_t position = 0;  // bytes of the page sent so far
    std::string source = "Flatbed";
    int sheets = 3;     // left in the feeder
    bool back = false;  // the next side of a two-sided sheet is its back
    int sides = 0;      // scanned since opened
    volatile sig_atomic_t cancelled = 0;
};

bool is_duplex(const Scanner& s) {
    return s.name == duplex_device.name;
}

int env_number(const char* name, int fallback) {
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : fallback;
}

SANE_Parameters parameters_of(const Scanner& s) {
    SANE_Parameters p{};
    if (is_duplex(s)) {
        p.last_frame = SANE_TRUE;
        p.format = SANE_FRAME_GRAY;
        p.depth = 8;
        p.pixels_per_line = 100 + s.sides;
        p.bytes_per_line = p.pixels_per_line;
        p.lines = 80;
        return p;
    }
    p.last_frame = SANE_TRUE;
    p.pixels_per_line = static_cast<SANE_Int>(210 * s.dpi * 10 / 254);
    p.lines = static_cast<SANE_Int>(297 * s.dpi * 10 / 254);
    const bool colour = s.mode == "24bit Color";
    const bool one_bit = s.mode == "Black & White" || s.mode == "Gray[Error Diffusion]";
    p.format = colour ? SANE_FRAME_RGB : SANE_FRAME_GRAY;
    p.depth = one_bit ? 1 : 8;
    p.bytes_per_line = one_bit ? (p.pixels_per_line + 7) / 8 : p.pixels_per_line * (colour ? 3 : 1);
    return p;
}

// Grainy paper with dark bars every few lines, as a page of text looks from far away.
std::uint8_t sample_at(const Scanner& s, std::size_t offset) {
    const auto& p = s.parameters;
    const auto bpl = static_cast<std::size_t>(p.bytes_per_line);
    const std::size_t y = offset / bpl;
    const std::size_t x = offset % bpl;
    if (p.depth == 1) {
        return (y / 24) % 3 == 0 && x > 8 ? 0x55 : 0x00;
    }
    std::uint32_t h = static_cast<std::uint32_t>(x * 2654435761u ^ y * 40503u);
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    const auto grain = static_cast<std::uint8_t>(h >> 28);
    const std::size_t dpi = static_cast<std::size_t>(s.dpi);
    const bool text = (y * 6 / dpi) % 2 == 0 && x > bpl / 10 && x < bpl * 9 / 10;
    return static_cast<std::uint8_t>(text ? 40 + grain : 230 + grain);
}

}  // namespace

extern "C" {

SANE_Status sane_presswickfake_init(SANE_Int* version, SANE_Auth_Callback) {
    if (version) {
        *version = SANE_VERSION_CODE(1, 0, 0);
    }
    descriptors[resolution_option].constraint.range = &resolutions;
    return SANE_STATUS_GOOD;
}

void sane_presswickfake_exit() {}

SANE_Status sane_presswickfake_get_devices(const SANE_Device*** list, SANE_Bool) {
    const char* delay = std::getenv("PRESSWICK_FAKE_SANE_LIST_MS");
    if (delay && std::string(delay) == "hang") {
        for (;;) {
            ::pause();
        }
    }
    if (delay) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(delay)));
    }
    *list = devices;
    return SANE_STATUS_GOOD;
}

SANE_Status sane_presswickfake_open(SANE_String_Const name, SANE_Handle* handle) {
    const std::string wanted = name && *name ? name : "hang";
    for (const auto* d : devices) {
        if (d && wanted == d->name) {  // the dll backend has taken off "presswickfake:"
            *handle = new Scanner{.name = d->name, .sheets = env_number("PRESSWICK_FAKE_SANE_SHEETS", 3)};
            return SANE_STATUS_GOOD;
        }
    }
    return SANE_STATUS_INVAL;
}

void sane_presswickfake_close(SANE_Handle handle) {
    delete static_cast<Scanner*>(handle);
}

const SANE_Option_Descriptor* sane_presswickfake_get_option_descriptor(SANE_Handle handle, SANE_Int option) {
    if (option == source_option && is_duplex(*static_cast<Scanner*>(handle))) {
        static SANE_Option_Descriptor duplex_source = [] {
            SANE_Option_Descriptor d = descriptors[source_option];
            d.constraint.string_list = duplex_sources;
            return d;
        }();
        return &duplex_source;
    }
    return option >= 0 && option < option_count ? &descriptors[option] : nullptr;
}

SANE_Status sane_presswickfake_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action,
                                              void* value, SANE_Int* info) {
    auto* s = static_cast<Scanner*>(handle);
    if (info) {
        *info = 0;
    }
    if (action == SANE_ACTION_GET_VALUE) {
        switch (option) {
            case count_option:
                *static_cast<SANE_Word*>(value) = option_count;
                return SANE_STATUS_GOOD;
            case mode_option:
                std::strncpy(static_cast<char*>(value), s->mode.c_str(), 32);
                return SANE_STATUS_GOOD;
            case resolution_option:
                *static_cast<SANE_Word*>(value) = s->dpi;
                return SANE_STATUS_GOOD;
            case source_option:
                std::strncpy(static_cast<char*>(value), s->source.c_str(), 32);
                return SANE_STATUS_GOOD;
            default:
                return SANE_STATUS_INVAL;
        }
    }
    if (action != SANE_ACTION_SET_VALUE) {
        return SANE_STATUS_UNSUPPORTED;
    }
    switch (option) {
        case mode_option: {
            const std::string mode(static_cast<const char*>(value));
            if (std::find(std::begin(modes), std::end(modes) - 1, mode) == std::end(modes) - 1) {
                return SANE_STATUS_INVAL;
            }
            s->mode = mode;
            return SANE_STATUS_GOOD;
        }
        case resolution_option:
            s->dpi = std::clamp(*static_cast<SANE_Word*>(value), resolutions.min, resolutions.max);
            return SANE_STATUS_GOOD;
        case source_option: {
            const std::string source(static_cast<const char*>(value));
            const auto* list = is_duplex(*s) ? duplex_sources : sources;
            for (auto* item = list; *item; ++item) {
                if (source == *item) {
                    s->source = source;
                    return SANE_STATUS_GOOD;
                }
            }
            return SANE_STATUS_INVAL;
        }
        default:
            return SANE_STATUS_INVAL;
    }
}

SANE_Status sane_presswickfake_get_parameters(SANE_Handle handle, SANE_Parameters* parameters) {
    *parameters = parameters_of(*static_cast<Scanner*>(handle));
    return SANE_STATUS_GOOD;
}

SANE_Status sane_presswickfake_start(SANE_Handle handle) {
    auto* s = static_cast<Scanner*>(handle);
    s->cancelled = 0;
    if (is_duplex(*s) && s->source != "Flatbed") {
        if (!s->back) {
            if (s->sheets == 0) {
                return SANE_STATUS_NO_DOCS;
            }
            --s->sheets;
        }
        s->back = s->source == "ADF Duplex" && !s->back;
    }
    ++s->sides;
    s->parameters = parameters_of(*s);
    s->position = 0;
    return SANE_STATUS_GOOD;
}

SANE_Status sane_presswickfake_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max_length,
                                    SANE_Int* length) {
    auto* s = static_cast<Scanner*>(handle);
    *length = 0;
    if (s->name == hang_device.name) {
        for (;;) {
            ::pause();
        }
    }
    if (s->name == crash_device.name) {
        const rlimit no_core{0, 0};
        ::setrlimit(RLIMIT_CORE, &no_core);  // no core file left behind by the test
        ::signal(SIGSEGV, SIG_DFL);          // as it would die without a sanitizer's handler in the way
        ::raise(SIGSEGV);
    }
    if (is_duplex(*s)) {
        const int wait_ms = env_number("PRESSWICK_FAKE_SANE_READ_MS", 0);
        for (int waited = 0; waited < wait_ms && s->cancelled == 0; waited += 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (s->cancelled != 0) {
            return SANE_STATUS_CANCELLED;
        }
    }
    const std::size_t total = static_cast<std::size_t>(s->parameters.bytes_per_line) *
                              static_cast<std::size_t>(s->parameters.lines);
    if (s->position >= total) {
        return SANE_STATUS_EOF;
    }
    const std::size_t n = std::min(total - s->position, static_cast<std::size_t>(max_length));
    for (std::size_t i = 0; i < n; ++i) {
        data[i] = sample_at(*s, s->position + i);
    }
    s->position += n;
    *length = static_cast<SANE_Int>(n);
    return SANE_STATUS_GOOD;
}

void sane_presswickfake_cancel(SANE_Handle handle) {
    static_cast<Scanner*>(handle)->cancelled = 1;
}

SANE_Status sane_presswickfake_set_io_mode(SANE_Handle, SANE_Bool non_blocking) {
    return non_blocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

SANE_Status sane_presswickfake_get_select_fd(SANE_Handle, SANE_Int*) {
    return SANE_STATUS_UNSUPPORTED;
}

}  // extern "C"
