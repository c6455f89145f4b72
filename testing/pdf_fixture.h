// Small valid PDF files for tests and benchmarks, written out object by object.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace test_pdf {

// A PDF of `objects`, numbered from 1 in order, with object 1 as its catalogue and a correct
// cross-reference table.
inline std::string from_objects(const std::vector<std::string>& objects) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const auto offset : offsets) {
        char line[32];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

// A PDF of `pages` pages of `width` × `height` points, page i (from 0) drawn by the content stream
// `content(i)`, which may set text in /F1 (Helvetica).
inline std::string with_pages(int pages, const std::function<std::string(int)>& content, int width = 595,
                              int height = 842) {
    const int font = 3 + 2 * pages;
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>", ""};
    std::string kids;
    for (int i = 0; i < pages; ++i) {
        const int page = 3 + 2 * i;
        kids += std::to_string(page) + " 0 R ";
        const std::string stream = content(i);
        objects.push_back("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 " + std::to_string(width) + " " +
                          std::to_string(height) + "] /Contents " + std::to_string(page + 1) +
                          " 0 R /Resources << /Font << /F1 " + std::to_string(font) + " 0 R >> >> >>");
        objects.push_back("<< /Length " + std::to_string(stream.size()) + " >>\nstream\n" + stream +
                          "\nendstream");
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>";
    objects.push_back("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    return from_objects(objects);
}

}  // namespace test_pdf
