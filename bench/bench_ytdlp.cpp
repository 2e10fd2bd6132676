// SPDX-License-Identifier: GPL-3.0-or-later
// yt-dlp's report of a large playlist page: how long reading it takes, and
// how long the window thread stands still while a run that printed it ends.
//
// The report is built like yt-dlp's own for a video site's playlist: every
// entry with its formats (long signed addresses, request headers), its
// thumbnails and its automatic captions in many languages, which make up
// most of the bytes.  `Entries` sets its size: 40 entries are about 12 MiB.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>

#include "shell/jobs/ytdlp_engine.h"
#include "web/ytdlp_reply.h"

namespace {

using namespace tessel;

// Signature-like text: the same every run, not compressible by accident.
std::string Noise(std::uint32_t& seed, std::size_t n) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string s(n, ' ');
    for (char& c : s) {
        seed = seed * 1664525u + 1013904223u;
        c = kAlphabet[(seed >> 24) % 64];
    }
    return s;
}

std::string Format(std::uint32_t& seed, int entry, int i) {
    const std::string itag = std::to_string(100 + i);
    return R"({"format_id": ")" + itag +
           R"(", "format_note": "720p", "ext": "mp4", "protocol": "https",)"
           R"( "acodec": "none", "vcodec": "avc1.64001F", "url": "https://rr3---sn-a5mekn7z.example-video.test/videoplayback?expire=1765170000&ei=)" +
           Noise(seed, 24) + "&ip=203.0.113.7&id=o-" + Noise(seed, 44) + "&itag=" + itag +
           "&source=youtube&requiressl=yes&mh=ab&mm=31%2C29&mn=sn-a5mekn7z&ms=au%2Crdu&mv=m&mvi=3&pl=24"
           "&initcwndbps=1500000&vprv=1&svpuc=1&mime=video%2Fmp4&rqh=1&gir=yes&clen=" +
           std::to_string(1000000 + entry * 1000 + i) +
           "&dur=612.445&lmt=1700000000000000&mt=1765140000&fvip=3"
           "&keepalive=yes&fexp=24350590&c=IOS&txp=5535434&sparams=expire%2Cei%2Cip%2Cid%2Citag%2Csource&"
           "sig=" +
           Noise(seed, 88) +
           "&lsparams=mh%2Cmm%2Cmn%2Cms%2Cmv%2Cmvi%2Cpl%2Cinitcwndbps&lsig=" + Noise(seed, 72) +
           R"(", "width": 1280, "height": 720, "fps": 30, "audio_channels": null, "quality": 8,)"
           R"( "has_drm": false, "tbr": 1546.13, "filesize": 118234567, "container": "mp4_dash",)"
           R"( "language": null, "dynamic_range": "SDR", "http_headers": {"User-Agent":)"
           R"( "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/131.0.0.0 Safari/537.36",)"
           R"( "Accept": "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8",)"
           R"( "Accept-Language": "en-us,en;q=0.5", "Sec-Fetch-Mode": "navigate"},)"
           R"( "downloader_options": {"http_chunk_size": 10485760}, "video_ext": "mp4", "audio_ext": "none",)"
           R"( "resolution": "1280x720", "aspect_ratio": 1.78, "format": ")" +
           itag + " - 1280x720 [720p]\"}";
}

std::string Entry(std::uint32_t& seed, int entry) {
    const std::string id = Noise(seed, 11);
    std::string formats;
    for (int i = 0; i < 30; ++i) formats += (i ? ", " : "") + Format(seed, entry, i);
    std::string thumbnails;
    for (int i = 0; i < 40; ++i) {
        thumbnails += std::string(i ? ", " : "") + R"({"url": "https://i.example-video.test/vi/)" + id +
                      "/hq" + std::to_string(i) + R"(.jpg?sqp=)" + Noise(seed, 40) + R"(", "preference": )" +
                      std::to_string(-40 + i) + R"(, "id": ")" + std::to_string(i) + R"("})";
    }
    std::string captions;
    for (int lang = 0; lang < 100; ++lang) {
        const std::string code = "l" + std::to_string(lang);
        captions += std::string(lang ? ", " : "") + '"' + code + R"(": [)";
        for (const char* ext : {"json3", "srv1", "srv2", "srv3", "ttml", "vtt"}) {
            captions += std::string(ext[0] == 'j' ? "" : ", ") + R"({"ext": ")" + ext +
                        R"(", "url": "https://www.example-video.test/api/timedtext?v=)" + id +
                        "&ei=" + Noise(seed, 24) +
                        "&caps=asr&opi=112496729&xoaf=5&hl=en&ip=0.0.0.0&ipbits=0"
                        "&expire=1765170000&sparams=ip%2Cipbits%2Cexpire%2Cv%2Cei%2Ccaps%2Copi%2Cxoaf"
                        "&signature=" +
                        Noise(seed, 40) + "&key=yt8&kind=asr&lang=en&tlang=" + code + "&fmt=" + ext +
                        R"(", "name": "Language )" + code + R"( from English"})";
        }
        captions += "]";
    }
    return R"({"id": ")" + id + R"(", "title": "第 )" + std::to_string(entry + 1) +
           R"( 集 A long episode title", "formats": [)" + formats + R"(], "thumbnails": [)" + thumbnails +
           R"(], "description": ")" + Noise(seed, 2000) + R"(", "automatic_captions": {)" + captions +
           R"(}, "requested_formats": [)" + Format(seed, entry, 30) + ", " + Format(seed, entry, 31) +
           R"(], "duration": 612, "webpage_url": "https://www.example-video.test/watch?v=)" + id + R"("})";
}

std::string Report(int entries) {
    std::uint32_t seed = 7;
    std::string r = R"({"_type": "playlist", "id": "PL1", "title": "一个很长的播放列表", "entries": [)";
    for (int e = 0; e < entries; ++e) r += (e ? ", " : "") + Entry(seed, e);
    return r + "]}";
}

// Reading the report alone, wherever it runs.
void BM_ReadYtDlpReply(benchmark::State& state) {
    const std::string report = Report(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const web::YtDlpReply r = web::ReadYtDlpReply(report);
        if (!r.ok) state.SkipWithError("the report was not read");
        benchmark::DoNotOptimize(r);
    }
    state.counters["MiB"] = static_cast<double>(report.size()) / (1024.0 * 1024.0);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * report.size()));
}
BENCHMARK(BM_ReadYtDlpReply)->Arg(4)->Arg(40)->Arg(52)->Unit(benchmark::kMillisecond);

// A whole run of a stand-in yt-dlp that prints the report, seen from the
// window thread: "stall_ms" is the longest time the event loop could not
// paint or take a click (a 1 ms timer measures the gaps), from the start to
// the reply.
void BM_EngineLongestStall(benchmark::State& state) {
    static int argc = 1;
    static char name[] = "bench_ytdlp";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    QTemporaryDir dir;
    const QString report = dir.filePath("report.json");
    {
        QFile f(report);
        if (!f.open(QIODevice::WriteOnly)) return state.SkipWithError("no report file");
        f.write(QByteArray::fromStdString(Report(static_cast<int>(state.range(0)))));
    }
    const QString program = dir.filePath("yt-dlp");
    {
        QFile f(program);
        if (!f.open(QIODevice::WriteOnly)) return state.SkipWithError("no stand-in");
        f.write("#!/bin/sh\nexec cat '" + report.toUtf8() + "'\n");
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    double worst = 0;
    for (auto _ : state) {
        shell::YtDlpEngine engine;
        QEventLoop loop;
        bool ok = false;
        QObject::connect(&engine, &shell::YtDlpEngine::Finished, &loop, [&](const web::YtDlpReply& r) {
            ok = r.ok;
            loop.quit();
        });
        QElapsedTimer gap;
        qint64 longest = 0;
        QTimer tick;
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] { longest = std::max(longest, gap.restart()); });
        gap.start();
        tick.start();
        engine.Start(program, u"https://www.example-video.test/playlist?list=PL1", std::chrono::seconds(60));
        loop.exec();
        longest = std::max(longest, gap.elapsed());
        if (!ok) state.SkipWithError("the run failed");
        worst = std::max(worst, static_cast<double>(longest));
        state.SetIterationTime(static_cast<double>(longest) / 1000.0);
    }
    state.counters["worst_stall_ms"] = worst;
}
BENCHMARK(BM_EngineLongestStall)
    ->Arg(40)
    ->Arg(52)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace
