// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/probes.h"

namespace tessel::handoff {
namespace {

bool Found(const RegReader& read, const RegProbe& probe) {
    return !read(RegRoot::HKEY_LOCAL_MACHINE, probe.keyPath, probe.valueName).empty();
}

}  // namespace

std::u16string_view FlashGetGenerationLabel(FlashGetGeneration generation) {
    switch (generation) {
        case FlashGetGeneration::V3_7:
            return u"3.7";
        case FlashGetGeneration::V2_4:
            return u"2.4";
        case FlashGetGeneration::V1_4:
            return u"1.4";
        case FlashGetGeneration::V1_96:
            return u"1.96";
        case FlashGetGeneration::V1_73:
            return u"1.73";
        case FlashGetGeneration::None:
            break;
    }
    return u"";
}

bool IsThunderInstalled(const RegReader& read) { return Found(read, kThunderProbe); }

bool IsQqDownloadInstalled(const RegReader& read) { return Found(read, kQqDownloadProbe); }

FlashGetGeneration DetectFlashGet(const RegReader& read) {
    for (const FlashGetProbe& p : kFlashGetProbes) {
        if (Found(read, p.probe)) return p.generation;
    }
    return FlashGetGeneration::None;
}

std::u16string_view AbsentQuestion(Manager manager) {
    switch (manager) {
        case Manager::Thunder:
            return u"您好像没有安装迅雷，还要继续吗？";
        case Manager::FlashGet:
            return u"您好像没有安装快车，还要继续吗？";
        case Manager::QqDownload:
            break;
    }
    return u"您好像没有安装QQ旋风，还要继续吗？";
}

}  // namespace tessel::handoff
