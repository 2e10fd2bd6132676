// SPDX-License-Identifier: GPL-3.0-or-later
#include "handoff/probes.h"

namespace tessel::handoff {
namespace {

bool Found(const RegReader& read, const RegProbe& probe) {
    return !read(RegRoot::HKEY_LOCAL_MACHINE, probe.keyPath, probe.valueName).empty();
}

}  // namespace

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
