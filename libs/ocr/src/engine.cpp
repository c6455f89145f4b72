#include "ocr/engine.h"

#include <optional>

#include "base/utf8.h"
#include "ocr/tsv.h"

namespace ocr {

namespace {

bool is_ascii_alphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool is_dropped_control(char32_t c) {
    return (c < 0x20 && c != '\t' && c != '\n') || (c >= 0x7F && c <= 0x9F);
}

OcrError engine_failed(std::string message) {
    return OcrError{OcrErrorKind::engine_failed, std::move(message), {}};
}

OcrError from_runner(const bounded_command::Failure& failure) {
    using bounded_command::FailureKind;
    switch (failure.kind) {
        case FailureKind::io:
            if (failure.not_found()) {
                return OcrError{OcrErrorKind::engine_missing, {}, {}};
            }
            return OcrError{OcrErrorKind::io_failure, "the OCR engine could not be started", failure.error};
        case FailureKind::limit_exceeded:
            if (failure.stream == "stdout") {
                return engine_failed("OCR output exceeded the safety limit");
            }
            if (failure.stream == "stderr") {
                return engine_failed("OCR diagnostics exceeded the safety limit");
            }
            return engine_failed("OCR engine process failed");
        case FailureKind::timed_out:
            return engine_failed("OCR engine timed out");
        case FailureKind::process:
        case FailureKind::cancelled:
            break;
    }
    return engine_failed("OCR engine process failed");
}

}  // namespace

bool validate_language_code(std::string_view code) {
    if (code.empty() || code.size() > max_language_code_bytes) {
        return false;
    }
    if (!is_ascii_alphanumeric(code.front()) || !is_ascii_alphanumeric(code.back())) {
        return false;
    }
    for (const char c : code) {
        if (!is_ascii_alphanumeric(c) && c != '+' && c != '-' && c != '_') {
            return false;
        }
    }
    return true;
}

bounded_command::PreparedCommand engine_command(const std::filesystem::path& image,
                                                std::string_view language) {
    bounded_command::PreparedCommand command{"tesseract",
                                             {image.string(), "stdout", "-l", std::string(language), "tsv"},
                                             {{"OMP_THREAD_LIMIT", "1"}}};
    // It reads a page image and its language data, needs nothing of the session, and has no business
    // outliving the program (its run may last two minutes).
    command.confinement.no_new_privileges = true;
    command.confinement.dies_with_us = true;
    auto kept = bounded_command::basic_environment();
    for (const char* name : {"PATH", "HOME", "TESSDATA_PREFIX"}) {
        kept.emplace_back(name);
    }
    command.confinement.kept_environment = std::move(kept);
    return command;
}

std::string engine_message(std::span<const std::uint8_t> stderr_bytes) {
    const std::string decoded = base::utf8::decode_lossy(stderr_bytes);
    const std::string_view trimmed = base::utf8::trim_white_space(decoded);
    std::string message;
    std::size_t kept = 0;
    std::size_t at = 0;
    while (at < trimmed.size() && kept < max_engine_message_chars) {
        const std::size_t start = at;
        const char32_t c = base::utf8::next_code_point(trimmed, at);
        if (!is_dropped_control(c)) {
            message.append(trimmed.substr(start, at - start));
            ++kept;
        }
    }
    return message;
}

std::expected<OcrOutput, OcrError> run_engine(const std::filesystem::path& image, std::string_view language) {
    return run_engine(image, language, EngineLimits{});
}

std::expected<OcrOutput, OcrError> run_engine(const std::filesystem::path& image, std::string_view language,
                                              const EngineLimits& limits) {
    if (!validate_language_code(language)) {
        return std::unexpected(OcrError{OcrErrorKind::invalid_language, {}, {}});
    }
    const auto run = bounded_command::run_prepared_with_limits(
        engine_command(image, language), std::nullopt, limits.stdout_bytes, limits.stderr_bytes, limits.time);
    if (!run) {
        return std::unexpected(from_runner(run.error()));
    }
    if (!run->status.success()) {
        return std::unexpected(engine_failed(engine_message(run->stderr_bytes)));
    }
    return parse_engine_tsv(base::utf8::decode_lossy(run->stdout_bytes), language);
}

}  // namespace ocr
