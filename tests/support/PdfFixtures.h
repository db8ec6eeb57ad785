#pragma once
// One-page PDF documents written by hand for tests and benchmarks: a page of any size with a
// coloured rectangle (page space, y up) and correct cross-reference offsets; and stand-ins for
// the page checker (given through $VARNEL_PDF_CHECK).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace testing_support {

// A PDF file of the objects (numbered from 1, the first the catalogue) with correct
// cross-reference offsets; `trailerExtra` goes into the trailer dictionary.
inline std::string pdfOfObjects(const std::vector<std::string>& objects,
                                const std::string& trailerExtra = {}) {
    std::string pdf = "%PDF-1.4\n";
    std::vector<size_t> offsets;
    for (size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    return pdf + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R" +
           trailerExtra + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

// `encrypted` adds a standard security handler whose password nobody knows.
inline std::string onePagePdf(double width, double height, double x, double y, double w, double h,
                              double r = 1, double g = 0, double b = 0, bool encrypted = false) {
    char content[160];
    std::snprintf(content, sizeof content, "%.3f %.3f %.3f rg %.2f %.2f %.2f %.2f re f\n", r, g, b,
                  x, y, w, h);
    char box[96];
    std::snprintf(box, sizeof box, "[0 0 %.2f %.2f]", width, height);
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        std::string("<< /Type /Page /Parent 2 0 R /MediaBox ") + box + " /Contents 4 0 R >>",
        "<< /Length " + std::to_string(std::string(content).size()) + " >>\nstream\n" + content +
            "endstream",
    };
    const std::string hex32(64, 'A');
    if (encrypted)
        objects.push_back("<< /Filter /Standard /V 1 /R 2 /O <" + hex32 + "> /U <" + hex32 +
                          "> /P -4 >>");
    return pdfOfObjects(
        objects, encrypted ? " /Encrypt 5 0 R /ID [<0102030405060708><0102030405060708>]" : "");
}

// A page filled with one colour.
inline std::string filledPdf(double width, double height, double r = 1, double g = 0,
                             double b = 0) {
    return onePagePdf(width, height, 0, 0, width, height, r, g, b);
}

// A shell script of that text in the folder, which may run it.
inline std::filesystem::path checkerScript(const std::filesystem::path& folder,
                                           const std::string& name, const std::string& text) {
    const auto path = folder / name;
    std::ofstream(path, std::ios::trunc) << "#!/bin/sh\n" << text;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

// A checker stopped at once at its limit of processor time, as the real one is on a page it
// never finishes; each run adds the file it was given as a line to "<folder>/runs".
inline std::filesystem::path checkerStoppedAtItsLimit(const std::filesystem::path& folder) {
    return checkerScript(
        folder, "stopped-checker",
        "echo \"$1\" >> '" + (folder / "runs").string() + "'\nulimit -c 0\nkill -s XCPU $$\n");
}

// A checker that writes its process number to "<folder>/started" and then waits for ever, to be
// ended by a signal from outside (with no core file on a signal that would leave one).
inline std::filesystem::path checkerEndedFromOutside(const std::filesystem::path& folder) {
    const std::string started = (folder / "started").string();
    return checkerScript(folder, "checker-ended-from-outside",
                         "ulimit -c 0\necho $$ > '" + started + ".new'\nmv '" + started +
                             ".new' '" + started + "'\nexec sleep 600\n");
}

// A checker that crashes (SIGSEGV) on every file, with no core file.
inline std::filesystem::path crashingChecker(const std::filesystem::path& folder) {
    return checkerScript(folder, "crashing-checker", "ulimit -c 0\nkill -s SEGV $$\n");
}

// A checker that, once it has made "<folder>/started", waits until "<folder>/release" exists
// and then runs the real one (`real`) on the file.
inline std::filesystem::path heldChecker(const std::filesystem::path& folder,
                                         const std::filesystem::path& real) {
    const std::string started = (folder / "started").string();
    const std::string release = (folder / "release").string();
    return checkerScript(folder, "held-checker",
                         ": > '" + started + "'\nwhile [ ! -e '" + release +
                             "' ]; do sleep 0.02; done\nexec '" + real.string() + "' \"$@\"\n");
}

}  // namespace testing_support
