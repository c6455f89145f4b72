#include "sane_owner.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "parsing.h"
#include "png_encode.h"

namespace os_actions::printing::sane {

namespace {

std::unexpected<std::string> failure(std::string text) {
    return std::unexpected(std::move(text));
}
std::unexpected<std::string> failure(const std::string& what, SANE_Status status) {
    return failure(what + ": " + sane_strstatus(status));
}

// --- The owner thread -----------------------------------------------------------------------------

class Owner {
  public:
    static Owner& instance() {
        static Owner owner;
        return owner;
    }

    // Runs fn on the owner thread and waits for its answer.
    template <class Fn>
    auto call(Fn fn) -> decltype(fn()) {
        std::packaged_task<decltype(fn())()> task(std::move(fn));
        auto answer = task.get_future();
        {
            std::lock_guard lock(m_shared->mutex);
            m_shared->tasks.emplace_back([&task] { task(); });
            m_shared->wake.notify_one();
        }
        return answer.get();
    }

  private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<std::function<void()>> tasks;
    };

    Owner() : m_shared(std::make_shared<Shared>()) {
        // Never joined: at exit the thread may be inside a backend, and SANE is never shut down.
        std::thread([shared = m_shared] {
            for (;;) {
                std::function<void()> task;
                {
                    std::unique_lock lock(shared->mutex);
                    shared->wake.wait(lock, [&] { return !shared->tasks.empty(); });
                    task = std::move(shared->tasks.front());
                    shared->tasks.pop_front();
                }
                task();
            }
        }).detach();
    }

    std::shared_ptr<Shared> m_shared;
};

// Runs on the owner thread only.
SANE_Status ensure_init() {
    static const SANE_Status status = [] {
        SANE_Int version = 0;
        return sane_init(&version, nullptr);
    }();
    return status;
}

// --- Options --------------------------------------------------------------------------------------

struct Device {
    SANE_Handle handle = nullptr;
    ~Device() {
        if (handle) {
            sane_cancel(handle);
            sane_close(handle);
        }
    }
};

struct Option {
    SANE_Int index = -1;
    const SANE_Option_Descriptor* descriptor = nullptr;
};

// Looks an option up by name; descriptors are read afresh because setting one can reload the others.
std::optional<Option> find_option(SANE_Handle handle, std::string_view name) {
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) {
        return std::nullopt;
    }
    for (SANE_Int i = 1; i < count; ++i) {
        const auto* d = sane_get_option_descriptor(handle, i);
        if (d && d->name && name == d->name && SANE_OPTION_IS_ACTIVE(d->cap) &&
            SANE_OPTION_IS_SETTABLE(d->cap)) {
            return Option{i, d};
        }
    }
    return std::nullopt;
}

std::vector<std::string> string_choices(const SANE_Option_Descriptor* d) {
    std::vector<std::string> out;
    if (d->type == SANE_TYPE_STRING && d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
        for (auto* item = d->constraint.string_list; item && *item; ++item) {
            out.emplace_back(*item);
        }
    }
    return out;
}

std::vector<SANE_Word> word_choices(const SANE_Option_Descriptor* d) {
    std::vector<SANE_Word> out;
    if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
        const SANE_Word count = d->constraint.word_list[0];
        for (SANE_Word i = 1; i <= count && i <= 4096; ++i) {
            out.push_back(d->constraint.word_list[i]);
        }
    }
    return out;
}

SANE_Status set_string(SANE_Handle handle, const Option& option, const std::string& value) {
    const auto size = static_cast<std::size_t>(std::max<SANE_Int>(option.descriptor->size, 0));
    if (value.size() + 1 > size) {
        return SANE_STATUS_INVAL;
    }
    std::vector<char> buffer(size, '\0');
    std::memcpy(buffer.data(), value.data(), value.size());
    return sane_control_option(handle, option.index, SANE_ACTION_SET_VALUE, buffer.data(), nullptr);
}

SANE_Status set_word(SANE_Handle handle, const Option& option, SANE_Word value) {
    if (option.descriptor->size < static_cast<SANE_Int>(sizeof(SANE_Word))) {
        return SANE_STATUS_INVAL;
    }
    // An option may hold several words (one per channel); set them all.
    std::vector<SANE_Word> words(static_cast<std::size_t>(option.descriptor->size) / sizeof(SANE_Word),
                                 value);
    return sane_control_option(handle, option.index, SANE_ACTION_SET_VALUE, words.data(), nullptr);
}

bool depth_allows(SANE_Handle handle, SANE_Word depth) {
    const auto option = find_option(handle, SANE_NAME_BIT_DEPTH);
    if (!option) {
        return false;
    }
    const auto words = word_choices(option->descriptor);
    return std::ranges::find(words, depth) != words.end();
}

// Source, mode (and depth for line art), then resolution: the order in which backends narrow each other.
Result<SANE_Word> apply_settings(SANE_Handle handle, const ScanSettings& settings) {
    if (const auto source = find_option(handle, SANE_NAME_SCAN_SOURCE)) {
        if (const auto value = detail::choose_source(string_choices(source->descriptor), settings.source)) {
            if (const auto status = set_string(handle, *source, *value); status != SANE_STATUS_GOOD) {
                return failure("Could not choose the scan source", status);
            }
        }
    }
    bool line_art_by_depth = false;
    if (const auto mode = find_option(handle, SANE_NAME_SCAN_MODE)) {
        const auto modes = string_choices(mode->descriptor);
        auto value = detail::choose_mode(modes, settings.colour_mode);
        if (!value && settings.colour_mode == 2) {
            // No line-art mode: grey at one bit per pixel where the backend offers it.
            value = detail::choose_mode(modes, 1);
            line_art_by_depth = true;
        }
        if (value) {
            if (const auto status = set_string(handle, *mode, *value); status != SANE_STATUS_GOOD) {
                return failure("Could not choose the colour mode", status);
            }
        }
    }
    if (const auto depth = find_option(handle, SANE_NAME_BIT_DEPTH)) {
        const SANE_Word wanted = line_art_by_depth ? 1 : 8;
        if (depth_allows(handle, wanted)) {
            if (const auto status = set_word(handle, *depth, wanted); status != SANE_STATUS_GOOD) {
                return failure("Could not choose the bit depth", status);
            }
        }
    }
    SANE_Word applied_dpi = 0;
    if (const auto resolution = find_option(handle, SANE_NAME_SCAN_RESOLUTION)) {
        const auto* d = resolution->descriptor;
        const bool fixed = d->type == SANE_TYPE_FIXED;
        if (d->type != SANE_TYPE_INT && !fixed) {
            return failure("The scanner reports an unusable resolution option");
        }
        auto to_double = [&](SANE_Word w) {
            return fixed ? SANE_UNFIX(w) : static_cast<double>(w);
        };
        double dpi = settings.resolution_dpi;
        if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
            const auto* r = d->constraint.range;
            dpi = detail::nearest_in_range(to_double(r->min), to_double(r->max), to_double(r->quant), dpi);
        } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
            std::vector<double> allowed;
            for (const auto w : word_choices(d)) {
                allowed.push_back(to_double(w));
            }
            dpi = detail::nearest_in_list(allowed, dpi);
        }
        const SANE_Word value = fixed ? SANE_FIX(dpi) : static_cast<SANE_Word>(std::lround(dpi));
        if (const auto status = set_word(handle, *resolution, value); status != SANE_STATUS_GOOD) {
            return failure("Could not set the resolution", status);
        }
        SANE_Word now = value;
        if (d->size == static_cast<SANE_Int>(sizeof(SANE_Word)) &&
            sane_control_option(handle, resolution->index, SANE_ACTION_GET_VALUE, &now, nullptr) ==
                SANE_STATUS_GOOD) {
            applied_dpi = static_cast<SANE_Word>(std::lround(to_double(now)));
        } else {
            applied_dpi = static_cast<SANE_Word>(std::lround(dpi));
        }
    }
    return applied_dpi;
}

// --- Reading frames ---------------------------------------------------------------------------------

constexpr std::size_t max_image_bytes = std::size_t{1} << 30;  // 1 GiB of raw samples
constexpr SANE_Int max_pixels_per_line = 1 << 17;
constexpr std::size_t read_chunk = 64 * 1024;

struct Frame {
    SANE_Parameters parameters{};
    std::vector<std::uint8_t> data;
    std::size_t lines = 0;
};

Result<void> check_parameters(const SANE_Parameters& p) {
    const std::size_t channels = p.format == SANE_FRAME_RGB ? 3 : 1;
    if (p.depth != 1 && p.depth != 8 && p.depth != 16) {
        return failure("The scanner sends " + std::to_string(p.depth) +
                       "-bit samples, which are not supported");
    }
    if (p.format != SANE_FRAME_GRAY && p.format != SANE_FRAME_RGB && p.format != SANE_FRAME_RED &&
        p.format != SANE_FRAME_GREEN && p.format != SANE_FRAME_BLUE) {
        return failure("The scanner sends an unsupported frame format");
    }
    if (p.pixels_per_line <= 0 || p.pixels_per_line > max_pixels_per_line || p.bytes_per_line <= 0 ||
        p.lines < -1 || p.lines == 0) {
        return failure("The scanner reports an invalid image size");
    }
    const std::size_t needed = (static_cast<std::size_t>(p.pixels_per_line) * channels * p.depth + 7) / 8;
    if (static_cast<std::size_t>(p.bytes_per_line) < needed) {
        return failure("The scanner reports fewer bytes per line than its pixels need");
    }
    if (p.lines > 0 &&
        static_cast<std::size_t>(p.lines) > max_image_bytes / static_cast<std::size_t>(p.bytes_per_line)) {
        return failure("The scanned image would be too large");
    }
    return {};
}

Result<Frame> read_frame(SANE_Handle handle) {
    Frame frame;
    if (const auto status = sane_get_parameters(handle, &frame.parameters); status != SANE_STATUS_GOOD) {
        return failure("Could not read the scan parameters", status);
    }
    if (auto ok = check_parameters(frame.parameters); !ok) {
        return std::unexpected(ok.error());
    }
    const auto bpl = static_cast<std::size_t>(frame.parameters.bytes_per_line);
    if (frame.parameters.lines > 0) {
        frame.data.reserve(bpl * static_cast<std::size_t>(frame.parameters.lines));
    }
    std::vector<std::uint8_t> chunk(read_chunk);
    for (;;) {
        SANE_Int length = 0;
        const auto status = sane_read(handle, chunk.data(), static_cast<SANE_Int>(chunk.size()), &length);
        if (status == SANE_STATUS_EOF) {
            break;
        }
        if (status != SANE_STATUS_GOOD) {
            return failure("Scanning failed", status);
        }
        if (length < 0 || static_cast<std::size_t>(length) > chunk.size() ||
            frame.data.size() + static_cast<std::size_t>(length) > max_image_bytes) {
            return failure("The scanned image is too large");
        }
        frame.data.insert(frame.data.end(), chunk.begin(), chunk.begin() + length);
    }
    frame.lines = frame.data.size() / bpl;
    if (frame.parameters.lines > 0) {
        frame.lines = std::min(frame.lines, static_cast<std::size_t>(frame.parameters.lines));
    }
    if (frame.lines == 0) {
        return failure("The scanner sent no image lines");
    }
    return frame;
}

// One 8-bit sample of a row: 16-bit samples come in host order, their high byte is kept.
std::uint8_t sample8(const std::uint8_t* row, std::size_t index, int depth) {
    if (depth == 16) {
        std::uint16_t v;
        std::memcpy(&v, row + index * 2, 2);
        return static_cast<std::uint8_t>(v >> 8);
    }
    if (depth == 1) {
        return (row[index / 8] & (0x80 >> (index % 8))) ? 0 : 255;  // SANE: a set bit is black
    }
    return row[index];
}

Result<Bytes> encode_frames(const std::vector<Frame>& frames, SANE_Word dpi) {
    const auto& first = frames.front();
    const auto& p = first.parameters;
    const auto width = static_cast<std::size_t>(p.pixels_per_line);
    png::Image image{.width = static_cast<std::uint32_t>(width),
                     .height = 0,
                     .channels = 1,
                     .bit_depth = 8,
                     .stride = 0,
                     .pixels = {},
                     .dpi = static_cast<std::uint32_t>(std::max<SANE_Word>(dpi, 0))};
    std::vector<std::uint8_t> pixels;
    if (frames.size() == 1 && p.format == SANE_FRAME_GRAY && p.depth == 1) {
        // Line art stays one bit per pixel, inverted to PNG's sense (a set bit is white).
        image.height = static_cast<std::uint32_t>(first.lines);
        image.bit_depth = 1;
        image.stride = (width + 7) / 8;
        pixels.resize(image.stride * first.lines);
        for (std::size_t y = 0; y < first.lines; ++y) {
            const auto* row = first.data.data() + y * static_cast<std::size_t>(p.bytes_per_line);
            for (std::size_t x = 0; x < image.stride; ++x) {
                pixels[y * image.stride + x] = static_cast<std::uint8_t>(~row[x]);
            }
        }
    } else if (frames.size() == 1 && (p.format == SANE_FRAME_GRAY || p.format == SANE_FRAME_RGB)) {
        image.channels = p.format == SANE_FRAME_RGB ? 3 : 1;
        image.height = static_cast<std::uint32_t>(first.lines);
        image.stride = width * image.channels;
        pixels.resize(image.stride * first.lines);
        for (std::size_t y = 0; y < first.lines; ++y) {
            const auto* row = first.data.data() + y * static_cast<std::size_t>(p.bytes_per_line);
            auto* out = pixels.data() + y * image.stride;
            for (std::size_t i = 0; i < image.stride; ++i) {
                out[i] = sample8(row, i, p.depth);
            }
        }
    } else {
        // Three-pass: one frame per colour, in whatever order the backend sends them.
        const Frame* planes[3] = {nullptr, nullptr, nullptr};
        for (const auto& f : frames) {
            const int channel = f.parameters.format == SANE_FRAME_RED     ? 0
                                : f.parameters.format == SANE_FRAME_GREEN ? 1
                                : f.parameters.format == SANE_FRAME_BLUE  ? 2
                                                                          : -1;
            if (channel < 0 || f.parameters.pixels_per_line != p.pixels_per_line) {
                return failure("The scanner sent colour frames that do not fit together");
            }
            planes[channel] = &f;
        }
        if (!planes[0] || !planes[1] || !planes[2]) {
            return failure("The scanner did not send all three colour frames");
        }
        const std::size_t lines = std::min({planes[0]->lines, planes[1]->lines, planes[2]->lines});
        image.channels = 3;
        image.height = static_cast<std::uint32_t>(lines);
        image.stride = width * 3;
        pixels.resize(image.stride * lines);
        for (std::size_t c = 0; c < 3; ++c) {
            const auto& plane = *planes[c];
            const auto bpl = static_cast<std::size_t>(plane.parameters.bytes_per_line);
            for (std::size_t y = 0; y < lines; ++y) {
                const auto* row = plane.data.data() + y * bpl;
                auto* out = pixels.data() + y * image.stride + c;
                for (std::size_t x = 0; x < width; ++x) {
                    out[x * 3] = sample8(row, x, plane.parameters.depth);
                }
            }
        }
    }
    image.pixels = pixels;
    return png::encode(image);
}

Result<Bytes> scan_on_owner(const std::string& id, const ScanSettings& settings) {
    if (const auto status = ensure_init(); status != SANE_STATUS_GOOD) {
        return failure("Could not start SANE", status);
    }
    Device device;
    if (const auto status = sane_open(id.c_str(), &device.handle); status != SANE_STATUS_GOOD) {
        device.handle = nullptr;
        return failure("Could not open scanner " + id, status);
    }
    const auto dpi = apply_settings(device.handle, settings);
    if (!dpi) {
        return std::unexpected(dpi.error());
    }
    std::vector<Frame> frames;
    for (;;) {
        if (const auto status = sane_start(device.handle); status != SANE_STATUS_GOOD) {
            return failure("Could not start scanning", status);
        }
        auto frame = read_frame(device.handle);
        if (!frame) {
            return std::unexpected(frame.error());
        }
        const bool last = frame->parameters.last_frame != SANE_FALSE;
        frames.push_back(std::move(*frame));
        if (last) {
            break;
        }
        if (frames.size() >= 3) {
            return failure("The scanner sent more frames than one page has");
        }
    }
    return encode_frames(frames, *dpi);
}

Result<std::vector<Scanner>> scanners_on_owner() {
    if (const auto status = ensure_init(); status != SANE_STATUS_GOOD) {
        return failure("Could not start SANE", status);
    }
    const SANE_Device** list = nullptr;
    if (const auto status = sane_get_devices(&list, SANE_FALSE); status != SANE_STATUS_GOOD) {
        return failure("Could not list scanners", status);
    }
    std::vector<Scanner> out;
    for (auto** device = list; device && *device; ++device) {
        const auto* d = *device;
        if (!d->name) {
            continue;
        }
        std::string name;
        for (const char* part : {d->vendor, d->model}) {
            if (part && *part) {
                name += (name.empty() ? "" : " ") + std::string(part);
            }
        }
        out.push_back(Scanner{.id = d->name, .name = name.empty() ? d->name : name});
    }
    return out;
}

}  // namespace

Result<std::vector<Scanner>> scanners() {
    return Owner::instance().call([] { return scanners_on_owner(); });
}

Result<Bytes> scan_page(const std::string& scanner_id, const ScanSettings& settings) {
    return Owner::instance().call([&] { return scan_on_owner(scanner_id, settings); });
}

}  // namespace os_actions::printing::sane
