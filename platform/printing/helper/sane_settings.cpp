#include "sane_settings.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "parsing.h"
#include "sane_failure.h"

namespace os_actions::printing::helper {

namespace {

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

std::string refusal(ScanSource source) {
    return source == ScanSource::feeder
               ? "This scanner has no document feeder; choose Flatbed"
               : "This scanner cannot scan both sides of a page; choose Feeder or Flatbed";
}

// Some backends scan both sides through the feeder with a separate "adf-mode" of "Simplex" or "Duplex".
Result<void> choose_duplex_through_feeder(SANE_Handle handle, const Option& source,
                                          const std::vector<std::string>& sources) {
    const auto feeder = detail::choose_source(sources, ScanSource::feeder);
    if (!feeder) {
        return failure(refusal(ScanSource::two_sided));
    }
    if (const auto status = set_string(handle, source, *feeder); status != SANE_STATUS_GOOD) {
        return failure("Could not choose the scan source", status);
    }
    const auto mode = find_option(handle, "adf-mode");
    const auto choices = mode ? string_choices(mode->descriptor) : std::vector<std::string>{};
    const auto duplex =
        std::ranges::find_if(choices, [](const std::string& c) { return c == "Duplex" || c == "duplex"; });
    if (duplex == choices.end()) {
        return failure(refusal(ScanSource::two_sided));
    }
    if (const auto status = set_string(handle, *mode, *duplex); status != SANE_STATUS_GOOD) {
        return failure("Could not choose two-sided scanning", status);
    }
    return {};
}

// The flatbed is the default wherever it is not named; the feeder and two-sided must be found.
Result<void> apply_source(SANE_Handle handle, ScanSource wanted) {
    const auto source = find_option(handle, SANE_NAME_SCAN_SOURCE);
    const auto sources = source ? string_choices(source->descriptor) : std::vector<std::string>{};
    const auto value = detail::choose_source(sources, wanted);
    if (!value) {
        if (wanted == ScanSource::two_sided && source) {
            return choose_duplex_through_feeder(handle, *source, sources);
        }
        const bool from_feeder = wanted == ScanSource::feeder || wanted == ScanSource::two_sided;
        return from_feeder ? Result<void>(failure(refusal(wanted))) : Result<void>{};
    }
    if (const auto status = set_string(handle, *source, *value); status != SANE_STATUS_GOOD) {
        return failure("Could not choose the scan source", status);
    }
    return {};
}

Result<SANE_Word> apply_resolution(SANE_Handle handle, std::uint16_t wanted) {
    const auto resolution = find_option(handle, SANE_NAME_SCAN_RESOLUTION);
    if (!resolution) {
        return 0;
    }
    const auto* d = resolution->descriptor;
    const bool fixed = d->type == SANE_TYPE_FIXED;
    if (d->type != SANE_TYPE_INT && !fixed) {
        return failure("The scanner reports an unusable resolution option");
    }
    auto to_double = [&](SANE_Word w) {
        return fixed ? SANE_UNFIX(w) : static_cast<double>(w);
    };
    double dpi = wanted;
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
    // The backend may have adjusted the value (SANE_INFO_INEXACT): the page records what it used.
    SANE_Word now = value;
    if (d->size == static_cast<SANE_Int>(sizeof(SANE_Word)) &&
        sane_control_option(handle, resolution->index, SANE_ACTION_GET_VALUE, &now, nullptr) ==
            SANE_STATUS_GOOD) {
        return static_cast<SANE_Word>(std::lround(to_double(now)));
    }
    return static_cast<SANE_Word>(std::lround(dpi));
}

}  // namespace

Sources sources_of(SANE_Handle handle) {
    const auto source = find_option(handle, SANE_NAME_SCAN_SOURCE);
    if (!source) {
        return {};
    }
    const auto sources = string_choices(source->descriptor);
    Sources found{.feeder = detail::choose_source(sources, ScanSource::feeder).has_value(),
                  .two_sided = detail::choose_source(sources, ScanSource::two_sided).has_value()};
    if (!found.two_sided && found.feeder) {
        const auto mode = find_option(handle, "adf-mode");
        const auto choices = mode ? string_choices(mode->descriptor) : std::vector<std::string>{};
        found.two_sided =
            std::ranges::any_of(choices, [](const std::string& c) { return c == "Duplex" || c == "duplex"; });
    }
    // A feeder that only scans both sides still takes one side at a time: the two-sided source does.
    found.feeder = found.feeder || found.two_sided;
    return found;
}

// Source, mode (and depth for line art), then resolution: the order in which backends narrow each other.
Result<SANE_Word> apply_settings(SANE_Handle handle, const ScanSettings& settings) {
    if (auto source = apply_source(handle, settings.source); !source) {
        return std::unexpected(source.error());
    }
    bool line_art_by_depth = false;
    if (const auto mode = find_option(handle, SANE_NAME_SCAN_MODE)) {
        const auto modes = string_choices(mode->descriptor);
        auto value = detail::choose_mode(modes, settings.colour_mode);
        if (!value && settings.colour_mode == ScanColourMode::text) {
            // No line-art mode: grey at one bit per pixel where the backend offers it.
            value = detail::choose_mode(modes, ScanColourMode::grayscale);
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
    return apply_resolution(handle, settings.resolution_dpi);
}

}  // namespace os_actions::printing::helper
