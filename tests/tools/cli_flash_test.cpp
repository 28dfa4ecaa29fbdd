// The offline flash-image tool on an image a simulated shutdown wrote and on hand-made
// images: what it reads out, and that each write changes only the record's bytes.
#include <nlohmann/json.hpp>

#include "tests/tools/cli_run.h"

namespace {

using cli_test::CliFixture;
using cli_test::CliResult;
using nlohmann::json;

using FlashTool = CliFixture;

constexpr size_t kPartSize = 16u << 20;
constexpr size_t kTagStore = 0xD80000;  // file offset of 0xFFD80000
constexpr size_t kPlog = kTagStore + 0x1300;
constexpr size_t kPlogSize = 512;

std::vector<size_t> ChangedOffsets(const std::string &before, const std::string &after) {
  std::vector<size_t> changed;
  for (size_t index = 0; index < before.size() && index < after.size(); ++index) {
    if (before[index] != after[index]) changed.push_back(index);
  }
  return changed;
}

void ExpectOnlyPlogChanged(const std::string &before, const std::string &after) {
  ASSERT_EQ(before.size(), after.size());
  const std::vector<size_t> changed = ChangedOffsets(before, after);
  EXPECT_FALSE(changed.empty());
  for (size_t offset : changed) {
    ASSERT_TRUE(offset >= kPlog && offset < kPlog + kPlogSize) << "offset 0x" << std::hex << offset;
  }
}

TEST_F(FlashTool, ReadsAndExtendsTheLogThatASimulatedShutdownWrote) {
  const std::string flash = "--flash " + Path("board.bin");
  ASSERT_EQ(Run(flash + " sleep S5").exitCode, 0);

  const CliResult log = Run(flash + " --json flash log");
  ASSERT_EQ(log.exitCode, 0) << log.err;
  json decoded = json::parse(log.out);
  EXPECT_EQ(decoded["signature"], "KOVAPLOG");
  ASSERT_EQ(decoded["entries"].size(), 3u);
  EXPECT_EQ(decoded["entries"][2]["name"], "S5 entry");
  EXPECT_EQ(decoded["entries"][2]["time"], "2026-03-14 09:27:53");
  EXPECT_EQ(decoded["freeMap"], "0xFFFFFFFFFFFFFFF8");

  const CliResult info = Run(flash + " --json flash info");
  ASSERT_EQ(info.exitCode, 0) << info.err;
  const json records = json::parse(info.out)["records"];
  ASSERT_EQ(records.size(), 9u);
  for (const json &record : records) {
    const bool written = record["tag"] == "MFG0" || record["tag"] == "CNF1" || record["tag"] == "PLOG";
    EXPECT_EQ(record["erased"], !written) << record["tag"];
  }

  // Offline, by the driver's rule: the slot after the highest used one.
  const std::string before = cli_test::ReadText(Path("board.bin"));
  const CliResult add = Run(flash + " flash log add 0x42 --time '2026-04-01 12:00:00'");
  ASSERT_EQ(add.exitCode, 0) << add.err;
  EXPECT_NE(add.out.find("slot 3: 2026-04-01 12:00:00  event 0x42"), std::string::npos) << add.out;
  ExpectOnlyPlogChanged(before, cli_test::ReadText(Path("board.bin")));

  // The next run's driver appends after it.
  ASSERT_EQ(Run(flash + " boot 1").exitCode, 0);
  decoded = json::parse(Run(flash + " --json flash log").out);
  ASSERT_EQ(decoded["entries"].size(), 6u);
  EXPECT_EQ(decoded["entries"][3]["event"], 0x42);
  EXPECT_EQ(decoded["entries"][4]["name"], "driver start");
  EXPECT_EQ(decoded["entries"][4]["slot"], 4);
}

TEST_F(FlashTool, ProvisionsAddsToAndClearsTheLogOfAHandMadeImage) {
  // A blank part with only "MFG0" written.
  std::string image(kPartSize, '\xFF');
  image.replace(kTagStore + 0x100, 4, "QZ4C");
  cli_test::WriteText(Path("blank.bin"), image);
  const std::string flash = "--flash " + Path("blank.bin");

  CliResult result = Run(flash + " flash log");
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("not provisioned"), std::string::npos) << result.err;

  result = Run(flash + " flash log provision");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  std::string after = cli_test::ReadText(Path("blank.bin"));
  ExpectOnlyPlogChanged(image, after);
  EXPECT_EQ(after.substr(kPlog, 16), std::string("KOVAPLOG") + std::string(8, '\xFF'));

  for (const char *event : {"start", "s3", "s4"}) {
    SCOPED_TRACE(event);
    ASSERT_EQ(Run(flash + " flash log add " + event + " --time '2026-05-01 08:00:00'").exitCode, 0);
  }
  const json decoded = json::parse(Run(flash + " --json flash log").out);
  ASSERT_EQ(decoded["entries"].size(), 3u);
  EXPECT_EQ(decoded["entries"][1]["name"], "S3 entry");
  EXPECT_EQ(decoded["freeMap"], "0xFFFFFFFFFFFFFFF8");
  // Slot bytes as the driver lays them out: year in the century, then the event.
  after = cli_test::ReadText(Path("blank.bin"));
  EXPECT_EQ(after.substr(kPlog + 16 + 8 * 2, 8), std::string("\x1A\x05\x01\x08\x00\x00\x04\xFF", 8));

  const std::string beforeDump = after;
  const CliResult dump = Run(flash + " flash dump MFG0");
  ASSERT_EQ(dump.exitCode, 0) << dump.err;
  EXPECT_NE(dump.out.find("0000: 51 5A 34 43 FF"), std::string::npos) << dump.out;
  EXPECT_TRUE(cli_test::ReadText(Path("blank.bin")) == beforeDump) << "reading changed the image";

  // Clearing needs an erase: the programmed slots go back to all ones.
  result = Run(flash + " flash log clear");
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(result.out.find("1 block(s) erased"), std::string::npos) << result.out;
  after = cli_test::ReadText(Path("blank.bin"));
  ExpectOnlyPlogChanged(beforeDump, after);
  EXPECT_EQ(after.substr(kPlog, kPlogSize), "KOVAPLOG" + std::string(kPlogSize - 8, '\xFF'));
  EXPECT_EQ(after.substr(kTagStore + 0x100, 4), "QZ4C") << "the neighbouring record survived the erase";
}

TEST_F(FlashTool, RefusesWhatItCannotDoAndLeavesTheFileAlone) {
  std::string image(kPartSize, '\xFF');
  cli_test::WriteText(Path("blank.bin"), image);
  cli_test::WriteText(Path("short.bin"), std::string(4096, '\xFF'));
  struct Case {
    std::string arguments;
    std::string file;
    std::string message;
  };
  const Case cases[] = {
      {"flash info", "short.bin", "4096 bytes, but the flash part of profile \"default\" holds 16777216 bytes"},
      {"flash log add s3", "short.bin", "4096 bytes, but"},
      {"flash log add s3", "blank.bin", "the log is not provisioned"},
      {"flash log add 256", "blank.bin", "event \"256\": expected 0 to 255"},
      {"flash dump XXXX", "blank.bin", "no record \"XXXX\""},
      {"flash log add 1 --time 2026-13-01", "blank.bin", "--time \"2026-13-01\""},
      {"flash", "blank.bin", "A subcommand is required"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.arguments + " on " + c.file);
    const std::string before = cli_test::ReadText(Path(c.file));
    const CliResult result = Run("--flash " + Path(c.file) + " " + c.arguments);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_TRUE(cli_test::ReadText(Path(c.file)) == before);
  }
  const CliResult noFile = Run("flash info");
  EXPECT_EQ(noFile.exitCode, 2);
  EXPECT_NE(noFile.err.find("--flash FILE"), std::string::npos) << noFile.err;
}

}  // namespace
