#include "platform_sim/devices/embedded_controller.h"

namespace sim {

EmbeddedController::EmbeddedController(Cpu &cpu) : cpu_(cpu), ram_(0x10000, 0) {
  answer_ = [](const EcTransaction &, size_t) { return uint8_t{0x80}; };
}

void EmbeddedController::SetAnswers(std::vector<uint8_t> answers) {
  answer_ = [answers = std::move(answers)](const EcTransaction &, size_t index) {
    return index < answers.size() ? answers[index] : uint8_t{0x80};
  };
}

std::optional<size_t> EmbeddedController::DataLength(uint8_t command) {
  switch (command) {
    case 0x81: return 3;  // write EC RAM: address high, address low, value
    case 0x9A: return 7;  // extended command: five parameters and a 16-bit value
    default: return std::nullopt;
  }
}

void EmbeddedController::SetResponsiveness(const EcBehaviour &behaviour) {
  mode_ = behaviour.mode;
  deadAfterBytes_ = behaviour.deadAfterBytes;
  busyUntilPs_ = cpu_.NowPs() + behaviour.busyAtStartUs * 1000000;
}

bool EmbeddedController::TakesBytes() const {
  return mode_ != EcResponsiveness::Dead && (!deadAfterBytes_ || taken_ < *deadAfterBytes_);
}

// Moves the controller's side forward to the current virtual time.
void EmbeddedController::Settle() {
  uint64_t now = cpu_.NowPs();
  if (inputBuffer_ && TakesBytes() && now >= inputReadyPs_ && now >= busyUntilPs_) {
    EcByte byte = *inputBuffer_;
    inputBuffer_.reset();
    ++taken_;
    Take(byte);
  }
  if (pendingAnswer_ && now >= answerReadyPs_) {
    outputBuffer_ = pendingAnswer_;
    pendingAnswer_.reset();
  }
}

void EmbeddedController::Take(const EcByte &byte) {
  received_.push_back(byte);
  if (observer_) observer_(byte);
  if (byte.command) {
    transactions_.push_back(EcTransaction{byte.value, {}, std::nullopt});
    open_ = true;
  } else if (open_) {
    transactions_.back().data.push_back(byte.value);
  }
  if (!open_) return;
  EcTransaction &current = transactions_.back();
  auto length = DataLength(current.command);
  if (!length || current.data.size() < *length) return;
  open_ = false;
  if (current.command == 0x81) {
    ram_[static_cast<uint16_t>((current.data[0] << 8) | current.data[1])] = current.data[2];
  }
  if (Answers(current.command) && mode_ == EcResponsiveness::Normal) {
    current.answer = answer_(current, answered_++);
    pendingAnswer_ = current.answer;
    answerReadyPs_ = cpu_.NowPs() + answerNs_ * 1000;
  }
}

uint64_t EmbeddedController::IoRead(uint16_t port, unsigned) {
  Settle();
  if (port == kCommandPort) {
    // Busy with its own start-up, the controller shows a full input buffer.
    bool inputFull = inputBuffer_ || cpu_.NowPs() < busyUntilPs_;
    return (inputFull ? kStatusInputFull : 0) | (outputBuffer_ ? kStatusOutputFull : 0);
  }
  if (!outputBuffer_) return 0xFF;
  uint8_t value = *outputBuffer_;
  outputBuffer_.reset();
  return value;
}

void EmbeddedController::IoWrite(uint16_t port, unsigned, uint64_t value) {
  Settle();
  EcByte byte{port == kCommandPort, static_cast<uint8_t>(value), false};
  if (inputBuffer_ || cpu_.NowPs() < busyUntilPs_) {
    byte.lost = true;
    received_.push_back(byte);
    if (observer_) observer_(byte);
    return;
  }
  inputBuffer_ = byte;
  inputReadyPs_ = cpu_.NowPs() + takeNs_ * 1000;
}

std::vector<uint8_t> EmbeddedController::Wire() const {
  std::vector<uint8_t> wire;
  for (const EcByte &byte : received_) {
    if (!byte.lost) wire.push_back(byte.value);
  }
  return wire;
}

std::vector<uint8_t> EmbeddedController::LostBytes() const {
  std::vector<uint8_t> lost;
  for (const EcByte &byte : received_) {
    if (byte.lost) lost.push_back(byte.value);
  }
  return lost;
}

uint8_t EmbeddedController::Ram(uint16_t address) const { return ram_[address]; }

}  // namespace sim
