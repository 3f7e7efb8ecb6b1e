// A scripted interface source for discovery tests: three classes of fake devices, each with an
// answer schedule, and a log of every enumeration and query.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "connection/discovery.h"

struct FakeInterface {
    std::string path;
    // One entry per query: true answers, false stays silent. Past its end: `thenAnswer`.
    std::vector<bool> schedule;
    bool thenAnswer = false;
    std::string text1 = "Acme";
    std::string text3 = "Laser";
    int queries = 0;
};

class ScriptedProbe final : public IPrinterProbe {
public:
    std::vector<FakeInterface> classes[3];
    int enumerations = 0;
    std::vector<std::string> queried;  // paths, in query order

    bool GetInterfacePath(int classIndex, std::uint32_t memberIndex, std::string* path) override {
        ++enumerations;
        if (classIndex < 0 || classIndex > 2 || memberIndex >= classes[classIndex].size())
            return false;
        *path = classes[classIndex][memberIndex].path;
        return true;
    }
    PRINTER_IDENTITY Query(const std::string& path) override {
        queried.push_back(path);
        for (auto& c : classes)
            for (auto& d : c)
                if (d.path == path) {
                    std::size_t i = static_cast<std::size_t>(d.queries++);
                    bool answer = i < d.schedule.size() ? d.schedule[i] : d.thenAnswer;
                    if (answer)
                        return {true, d.text1, d.text3};
                    return {};
                }
        return {};
    }
    FakeInterface& Add(int classIndex, std::string path, bool answers = true) {
        FakeInterface d;
        d.path = std::move(path);
        d.thenAnswer = answers;
        classes[classIndex].push_back(std::move(d));
        return classes[classIndex].back();
    }
    int QueriesOf(const std::string& path) const {
        int n = 0;
        for (const auto& p : queried) n += (p == path);
        return n;
    }
};
