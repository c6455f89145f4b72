// RAII owners for libcups objects, the connection every call makes to the print server, and the small
// request helpers the CUPS files share.
#pragma once

#include <cups/cups.h>

#include <expected>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/owned.h"
#include "printing/printing.h"

namespace os_actions::printing::cups {

inline void free_destination(cups_dest_t* dest) {
    cupsFreeDests(1, dest);
}
using Http = base::Owned<http_t, httpClose>;
using Ipp = base::Owned<ipp_t, ippDelete>;
// One destination, as cupsGetNamedDest or cupsGetDestWithURI give it.
using Destination = base::Owned<cups_dest_t, free_destination>;
using DestinationInfo = base::Owned<cups_dinfo_t, cupsFreeDestInfo>;

// Every destination libcups knows through `http` (cupsGetDests2), freed together.
class Destinations {
  public:
    explicit Destinations(http_t* http) : m_count(cupsGetDests2(http, &m_dests)) {}
    Destinations(const Destinations&) = delete;
    Destinations& operator=(const Destinations&) = delete;
    ~Destinations() { cupsFreeDests(m_count, m_dests); }

    [[nodiscard]] std::span<cups_dest_t> all() const {
        return m_dests ? std::span(m_dests, static_cast<std::size_t>(m_count)) : std::span<cups_dest_t>();
    }
    [[nodiscard]] int count() const { return m_count; }
    [[nodiscard]] cups_dest_t* get() const { return m_dests; }

  private:
    cups_dest_t* m_dests = nullptr;
    int m_count;
};

// Options gathered with cupsAddOption, freed together.
class Options {
  public:
    Options() = default;
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;
    ~Options() { cupsFreeOptions(m_count, m_options); }

    void add(const std::string& name, const std::string& value) {
        m_count = cupsAddOption(name.c_str(), value.c_str(), m_count, &m_options);
    }
    [[nodiscard]] int count() const { return m_count; }
    [[nodiscard]] cups_option_t* get() const { return m_options; }

  private:
    cups_option_t* m_options = nullptr;
    int m_count = 0;
};

// How long connecting to the server, and waiting for one answer, may take.
inline constexpr int server_timeout_ms = 3000;

// A connection to the print server libcups is configured for, or why there is none.
[[nodiscard]] Result<Http> connect_server();
// Sends a request and takes the response; a failure carries the server's status text.
[[nodiscard]] Result<Ipp> send(http_t* http, ipp_t* request, const char* resource = "/");
// ipp://localhost/printers/NAME, the address the server knows a queue by.
[[nodiscard]] std::string printer_uri(const std::string& queue);

// --- Request helpers ---------------------------------------------------------------------------------

inline std::unexpected<std::string> failure(std::string text) {
    return std::unexpected(std::move(text));
}

inline std::string last_error() {
    const char* text = cupsLastErrorString();
    return text && *text ? text : ippErrorString(cupsLastError());
}

inline Ipp new_request(ipp_op_t op, const std::string& uri) {
    Ipp request(ippNewRequest(op));
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    return request;
}

inline void request_attributes(ipp_t* request, const std::vector<const char*>& names) {
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(names.size()), nullptr, names.data());
}

// Every string, or integer, value of an attribute.
inline std::vector<std::string> strings_of(ipp_attribute_t* attr) {
    std::vector<std::string> out;
    const int count = ippGetCount(attr);
    for (int i = 0; i < count; ++i) {
        const char* value = ippGetString(attr, i, nullptr);
        out.emplace_back(value ? value : "");
    }
    return out;
}

inline std::vector<int> integers_of(ipp_attribute_t* attr) {
    std::vector<int> out;
    const int count = ippGetCount(attr);
    for (int i = 0; i < count; ++i) {
        out.push_back(ippGetInteger(attr, i));
    }
    return out;
}

// Calls fn(first, end) for each group of the given tag in a response (attributes are visited by name).
template <class Fn>
void for_each_group(ipp_t* response, ipp_tag_t tag, Fn&& fn) {
    std::vector<ipp_attribute_t*> group;
    auto flush = [&] {
        if (!group.empty()) {
            fn(group);
            group.clear();
        }
    };
    for (auto* attr = ippFirstAttribute(response); attr; attr = ippNextAttribute(response)) {
        if (ippGetGroupTag(attr) != tag || !ippGetName(attr)) {
            flush();
            continue;
        }
        group.push_back(attr);
    }
    flush();
}

}  // namespace os_actions::printing::cups
