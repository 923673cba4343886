#include "game/BestScoreFile.h"

#include <array>

#include "platform/services/Files.h"

namespace {

using Record = std::array<unsigned char, 4>;

Record Encode(std::int32_t value)
{
    auto bits = static_cast<std::uint32_t>(value);
    return {static_cast<unsigned char>(bits), static_cast<unsigned char>(bits >> 8),
            static_cast<unsigned char>(bits >> 16), static_cast<unsigned char>(bits >> 24)};
}

std::int32_t Decode(const Record& record)
{
    std::uint32_t bits = std::uint32_t{record[0]} | std::uint32_t{record[1]} << 8 | std::uint32_t{record[2]} << 16 |
                         std::uint32_t{record[3]} << 24;
    return static_cast<std::int32_t>(bits);
}

}  // namespace

std::int32_t ReadBestScore(const std::string& path)
{
    RemoveStaleReplacements(path);
    TFileHandle file = TFileHandle::OpenExisting(path);
    Record record{};
    file.ReadRecord(record.data(), record.size());
    file.Close();
    return Decode(record);
}

void StoreBestScore(const std::string& path, std::int32_t value)
{
    const Record record = Encode(value);
    ReplaceFileContent(path, record.data(), record.size());
}
