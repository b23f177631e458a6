// Writes the run's report: the header, then each file's row as the file ends.
#include "cli/CsvReport.h"

#include "cli/LevelText.h"
#include "core/FileReason.h"
#include "core/LevelMeasurement.h"

#include <cstdint>
#include <utility>

namespace {

const char kCommonHeader[] =
    "file,output,status,reason,coding,channels,sample_rate,frames_in,frames_out,head_cut,tail_cut,head_margin,"
    "tail_margin,gain_db,peak_in_dbfs,peak_out_dbfs,clipped";
const char kLoudnessHeader[] = ",loudness_in_lufs,loudness_out_lufs";
const char kTruePeakHeader[] = ",true_peak_in_dbtp,true_peak_out_dbtp";

const char* StatusText(FileResult::Status status) {
    switch (status) {
        case FileResult::Status::Processed:
            break;
        case FileResult::Status::Unchanged:
            return "unchanged";
        case FileResult::Status::Failed:
            return "failed";
        case FileResult::Status::Stopped:
            return "stopped";
    }
    return "processed";
}

const char* CodingText(SampleCoding coding) {
    switch (coding) {
        case SampleCoding::None:
            break;
        case SampleCoding::Unsigned8:
            return "pcm8";
        case SampleCoding::Signed16:
            return "pcm16";
        case SampleCoding::Signed24:
            return "pcm24";
        case SampleCoding::Signed32:
            return "pcm32";
        case SampleCoding::Float32:
            return "float32";
        case SampleCoding::Float64:
            return "float64";
        case SampleCoding::ALaw:
            return "alaw";
        case SampleCoding::MuLaw:
            return "mulaw";
    }
    return "";
}

std::string PeakText(const std::optional<double>& level) {
    return level ? DecibelText(*level) : std::string();
}

// A measured input level in dB and the output's: the input's plus the gain.
std::string InAndOutFields(const std::optional<double>& decibelsIn, double gain) {
    if (!decibelsIn) {
        return ",,";
    }
    return "," + DecibelValueText(*decibelsIn) + "," + DecibelValueText(*decibelsIn + DecibelsOf(gain));
}

// The level target's fields, where the run has them: empty where the job measured nothing.
std::string TargetFields(const std::optional<AudioFacts>& audio, const CsvColumns& columns) {
    std::string fields;
    if (columns.loudness) {
        fields += audio ? InAndOutFields(audio->loudnessIn, audio->gain) : ",,";
    }
    if (columns.truePeak) {
        const bool measured = audio && audio->truePeakIn;
        fields += measured ? InAndOutFields(DecibelsOf(*audio->truePeakIn), audio->gain) : ",,";
    }
    return fields;
}

// The fields from `coding` on; all empty where the job measured nothing.
std::string AudioFields(const std::optional<AudioFacts>& audio) {
    if (!audio) {
        return std::string(12, ',');
    }
    const AudioFacts& a = *audio;
    std::string fields = CodingText(a.coding);
    for (const std::uint64_t number : {std::uint64_t{a.channels}, std::uint64_t{a.sampleRate}, a.framesIn, a.framesOut,
                                       a.headCut, a.tailCut, a.headMargin, a.tailMargin}) {
        fields += "," + std::to_string(number);
    }
    return fields + "," + DecibelText(a.gain) + "," + PeakText(a.peakIn) + "," + PeakText(a.peakOut) + "," +
           std::to_string(a.clipped);
}

}  // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

std::string CsvHeader(const CsvColumns& columns) {
    return std::string(kCommonHeader) + (columns.loudness ? kLoudnessHeader : "") +
           (columns.truePeak ? kTruePeakHeader : "");
}

std::string CsvRow(const std::string& given, const FileResult& result, const CsvColumns& columns) {
    const std::string reason = result.reason.kind == FileReason::Kind::None ? "" : EnglishText(result.reason);
    return CsvField(given) + "," + CsvField(Utf8FromUtf16(result.output.c_str())) + "," + StatusText(result.status) +
           "," + CsvField(reason) + "," + AudioFields(result.audio) + TargetFields(result.audio, columns);
}

CsvReport::CsvReport(std::FILE* file, std::vector<std::string> given, const CsvColumns& columns)
    : file_(file), given_(std::move(given)), columns_(columns) {
    Line(CsvHeader(columns_));
}

CsvReport::~CsvReport() {
    std::fclose(file_);
}

void CsvReport::Row(std::size_t number, const FileResult& result) {
    Line(CsvRow(number - 1 < given_.size() ? given_[number - 1] : std::string(), result, columns_));
}

void CsvReport::Line(const std::string& text) {
    std::fputs((text + '\n').c_str(), file_);
    std::fflush(file_);
}
