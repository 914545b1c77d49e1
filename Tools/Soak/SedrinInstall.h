// SedrinInstall.h - a copy of the example installation whose component file is padded to a
// chosen size, for the initializer's soak and benchmark runs.
//
// Win32 tool code.
#pragma once

#include "Soak/SoakSupport.h"

#include <string>

namespace Soak {

class SedrinInstallation {
public:
    // `sourceRoot` is the example installation; the component file grows to about `bytes`.
    SedrinInstallation(const std::string& sourceRoot, size_t bytes) : dir("vlxsedrin")
    {
        CreateDirectoryA((dir.path + "Configuration").c_str(), nullptr);
        CreateDirectoryA((dir.path + "Configuration\\Components").c_str(), nullptr);
        for (const char* name : {"Configuration\\Vorlix.xml", "Configuration\\Components\\log.xml"}) {
            CopyFileA((sourceRoot + name).c_str(), (dir.path + name).c_str(), FALSE);
        }
        std::string text = readAll(sourceRoot + "Configuration\\Components\\sentinel.xml");
        const std::string anchor = "<Name>applications</Name>\n        <SubObjects>\n";
        size_t at = text.find(anchor);
        std::string pad;
        for (int i = 0; text.size() + pad.size() < bytes; ++i) {
            pad += "          <Object>\n            <Name>pad" + std::to_string(i) +
                   "</Name>\n            <Value type=\"string\">" + std::string(900, 'x') +
                   "</Value>\n          </Object>\n";
        }
        if (at == std::string::npos) {
            at = text.find("<SubObjects>");
            text.insert(at + 12, pad);
        } else {
            text.insert(at + anchor.size(), pad);
        }
        writeAll(component(), text);
    }

    std::string root() const { return dir.path.substr(0, dir.path.size() - 1); }
    std::string component() const { return dir.path + "Configuration\\Components\\sentinel.xml"; }

    ScratchDir dir;
};

} // namespace Soak
