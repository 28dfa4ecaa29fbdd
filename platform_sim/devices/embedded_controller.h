// The embedded controller's host interface at ports 0x25C (data) and 0x25D
// (command/status). It takes each byte a little after it is written; while it has not
// (input buffer full, status bit 1) a further byte is lost, as on hardware. Commands
// with a known length are framed into transactions, and the 0x9A command is answered
// with one byte (status bit 0) chosen by a configurable behaviour.
#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

#include "platform_sim/cpu/cpu.h"
#include "platform_sim/memory/address_map.h"

namespace sim {

struct EcByte {
  bool command = false;
  uint8_t value = 0;
  bool lost = false;  // written while the input buffer was full
};

struct EcTransaction {
  uint8_t command = 0;
  std::vector<uint8_t> data;
  std::optional<uint8_t> answer;
};

enum class EcResponsiveness {
  Normal,
  Dead,  // never takes a byte: input buffer stays full
  Mute,  // takes every byte but never answers
};

// How the controller behaves from power-on: its responsiveness, a controller that
// dies after taking a number of bytes, and one still busy with its own start-up (input
// buffer full) for a while after power-on.
struct EcBehaviour {
  EcResponsiveness mode = EcResponsiveness::Normal;
  std::optional<size_t> deadAfterBytes;  // takes this many bytes, then never another
  uint64_t busyAtStartUs = 0;

  EcBehaviour() = default;
  // A plain mode converts, so a profile can still say "= EcResponsiveness::Dead".
  EcBehaviour(EcResponsiveness responsiveness) : mode(responsiveness) {}
};

class EmbeddedController : public IoDevice {
 public:
  static constexpr uint16_t kDataPort = 0x25C;
  static constexpr uint16_t kCommandPort = 0x25D;
  static constexpr uint8_t kStatusOutputFull = 0x01;
  static constexpr uint8_t kStatusInputFull = 0x02;

  // Decides the answer to a complete transaction that expects one.
  using AnswerPolicy = std::function<uint8_t(const EcTransaction &, size_t index)>;

  explicit EmbeddedController(Cpu &cpu);
  void Attach(AddressMap &map) { map.ClaimPorts(kDataPort, 2, this); }

  uint64_t IoRead(uint16_t port, unsigned width) override;
  void IoWrite(uint16_t port, unsigned width, uint64_t value) override;

  void SetResponsiveness(EcResponsiveness mode) { mode_ = mode; }
  // The whole behaviour; the start-up time counts from now.
  void SetResponsiveness(const EcBehaviour &behaviour);
  void SetAnswerPolicy(AnswerPolicy policy) { answer_ = std::move(policy); }
  // Answers in order to successive answered commands; the default answer afterwards.
  void SetAnswers(std::vector<uint8_t> answers);
  void SetDelays(uint64_t takeNs, uint64_t answerNs) {
    takeNs_ = takeNs;
    answerNs_ = answerNs;
  }

  const std::vector<EcByte> &Received() const { return received_; }
  const std::vector<EcTransaction> &Transactions() const { return transactions_; }
  // Bytes as the controller took them: commands and data in order, lost ones left out.
  std::vector<uint8_t> Wire() const;
  std::vector<uint8_t> LostBytes() const;
  uint8_t Ram(uint16_t address) const;
  // The bytes taken and lost, and each framed transaction with its answer.
  nlohmann::ordered_json Describe() const;
  void OnByte(std::function<void(const EcByte &)> observer) { observer_ = std::move(observer); }

 private:
  void Settle();
  void Take(const EcByte &byte);
  static std::optional<size_t> DataLength(uint8_t command);
  static bool Answers(uint8_t command) { return command == 0x9A; }

  Cpu &cpu_;
  bool TakesBytes() const;

  EcResponsiveness mode_ = EcResponsiveness::Normal;
  std::optional<size_t> deadAfterBytes_;
  size_t taken_ = 0;
  uint64_t busyUntilPs_ = 0;
  AnswerPolicy answer_;
  uint64_t takeNs_ = 5000;
  uint64_t answerNs_ = 20000;

  std::optional<EcByte> inputBuffer_;
  uint64_t inputReadyPs_ = 0;
  std::optional<uint8_t> pendingAnswer_;
  uint64_t answerReadyPs_ = 0;
  std::optional<uint8_t> outputBuffer_;

  std::vector<EcByte> received_;
  std::vector<EcTransaction> transactions_;
  bool open_ = false;
  size_t answered_ = 0;
  std::vector<uint8_t> ram_;
  std::function<void(const EcByte &)> observer_;
};

}  // namespace sim
