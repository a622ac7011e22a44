#include "transfer/block_protocol.h"

#include <cstdio>
#include <cstring>

#include "config/configuration.h"
#include "platform/platform.h"
#include "serial/line_log.h"
#include "serial/serial_port.h"
#include "serial/transmit.h"
#include "terminal/screen.h"
#include "terminal/title.h"

unsigned char TransferBuffer[TransferBufferSize];
const char NoConnectionMessage[] = "ERROR: No connection!";
const char ReceivedFileCutMessage[] = "The received file was too long and has been cut at 8960 bytes.";

namespace {

constexpr int ReceiveAttempts = 10;
constexpr int LooksPerReceiveAttempt = 100;
constexpr int SendHandshakeLooks = 250;
// A device that keeps sending other bytes never lets the receive's attempts run out: the wait for
// the first block ends after a minute all the same, as standard peers give up after ten tries.
constexpr int FirstBlockLimitMs = 60000;
constexpr int LookPauseMs = 5;
constexpr int AfterBlockPauseMs = 100;
constexpr int EotReplyWaitMs = 1000;
constexpr int MaxEots = 10;
constexpr int ReceiveTitleLine = 6;
constexpr int SendTitleLine = 9;

struct Block {
  unsigned char number;
  unsigned char complement;
  unsigned char data[BlockSize];
  unsigned char checksum;
};

// The block most recently acknowledged, so that a repeat of it (the device missed our ACK) is
// recognised and not stored twice, also once the buffer is full.
Block LastAccepted;
bool HaveLastAccepted;

void SendControlByte(unsigned char byte) {
  TransmitBuffer[0] = byte;
  sendTransmitBuffer(1);
}

void ShowProgress(int line, int number) {
  std::snprintf(PendingText, PendingTextSize, "%s%d", MessageLines[line], number);
  platform::SetMainWindowTitle(PendingText);
}

void NoConnectionAfter(const char* transfer, int blocks) {
  RecordLineEvent("%s failed after %d blocks: %s", transfer, blocks, NoConnectionMessage);
  platform::ShowMessage(NoConnectionMessage);
}

// A transfer that stalls after its start. The progress title lives in PendingText: it is emptied
// first, or the message box's repaint would draw it on the screen.
void GiveUp(const char* transfer, int blocks) {
  PendingText[0] = 0;
  NoConnectionAfter(transfer, blocks);
  SetNormalTitle();
}

unsigned char SumOf(const unsigned char* data) {
  unsigned char sum = 0;
  for (int i = 0; i < BlockSize; ++i) sum = static_cast<unsigned char>(sum + data[i]);
  return sum;
}

bool ReadBlockAfterSoh(Block& block) {
  if (!readByteBlocking(block.number) || !readByteBlocking(block.complement)) return false;
  for (unsigned char& byte : block.data) {
    if (!readByteBlocking(byte)) return false;
  }
  return readByteBlocking(block.checksum);
}

bool IsRepeatOfLastAccepted(const Block& block) {
  return HaveLastAccepted && block.complement == static_cast<unsigned char>(255 - block.number) &&
         block.number == LastAccepted.number && std::memcmp(block.data, LastAccepted.data, BlockSize) == 0;
}

// Only looks that find nothing count against the attempts: any byte keeps the device in the game,
// for a minute at most.
bool AwaitFirstSoh() {
  unsigned char handshake = 0;
  int attemptsLeft = ReceiveAttempts;
  const int64_t start = platform::NowMs();
  while (attemptsLeft > 0 && platform::NowMs() - start < FirstBlockLimitMs) {
    drainInput();
    SendControlByte(NAK);
    for (int look = 0; look < LooksPerReceiveAttempt && ComPort.bytesWaiting() == 0; ++look) {
      platform::SleepMs(LookPauseMs);
    }
    if (ComPort.bytesWaiting() != 0) {
      readByteBlocking(handshake);
    } else {
      --attemptsLeft;
    }
    if (handshake == SOH) return true;
  }
  return false;
}

bool AwaitNak() {
  unsigned char reply = 0;
  int looksLeft = SendHandshakeLooks;
  do {
    if (ComPort.bytesWaiting() != 0) {
      readByteBlocking(reply);
    } else {
      platform::SleepMs(LookPauseMs);
      --looksLeft;
    }
  } while (reply != NAK && looksLeft > 0);
  return reply == NAK;
}

}  // namespace

int32_t ReceiveBlocks() {
  HaveLastAccepted = false;
  if (!AwaitFirstSoh()) {
    NoConnectionAfter("receive", 0);
    return NoConnection;
  }
  int32_t stored = 0;
  bool cut = false;
  Block block;
  for (;;) {
    if (!ReadBlockAfterSoh(block)) {
      GiveUp("receive", stored / BlockSize);
      return NoConnection;
    }
    if (SumOf(block.data) == block.checksum) {
      SendControlByte(ACK);
      ShowProgress(ReceiveTitleLine, static_cast<signed char>(block.number));
      if (!IsRepeatOfLastAccepted(block)) {
        if (stored + BlockSize <= MaxReceivedBytes) {
          std::memcpy(TransferBuffer + stored, block.data, BlockSize);
          stored += BlockSize;
        } else {
          cut = true;  // acknowledged so the device can finish, but there is no room for it
        }
        LastAccepted = block;
        HaveLastAccepted = true;
      }
    } else {
      SendControlByte(NAK);
    }
    unsigned char next;  // each look below fills it or gives up
    do {
      if (!readByteBlocking(next)) {
        GiveUp("receive", stored / BlockSize);
        return NoConnection;
      }
    } while (next != SOH && next != EOT);
    platform::Beep();
    if (next == EOT) break;
  }
  PendingText[0] = 0;
  TransmitBuffer[0] = ACK;
  TransmitBuffer[1] = ACK;
  sendTransmitBuffer(2);
  SetNormalTitle();
  RecordLineEvent("receive ended: %d blocks%s%s", stored / BlockSize, cut ? ", cut: " : "",
                  cut ? ReceivedFileCutMessage : "");
  if (cut) platform::ShowMessage(ReceivedFileCutMessage);
  return stored;
}

bool SendBlocks(int32_t byteCount) {
  if (!AwaitNak()) {
    NoConnectionAfter("send", 0);
    return false;
  }
  int32_t counter = 0;
  int32_t position = 0;
  do {
    ++counter;
    const unsigned char number = static_cast<unsigned char>(counter & 0xFF);
    TransmitBuffer[0] = SOH;
    TransmitBuffer[1] = number;
    TransmitBuffer[2] = static_cast<unsigned char>(255 - number);
    sendTransmitBuffer(3);
    ShowProgress(SendTitleLine, counter);

    const unsigned char* data = TransferBuffer + position;
    std::memcpy(TransmitBuffer, data, BlockSize);
    sendTransmitBuffer(BlockSize);
    position += BlockSize;
    drainInput();  // what came while the block went out, leftover NAKs among it, is no answer
    SendControlByte(SumOf(data));

    unsigned char reply;  // filled unless the device has fallen silent
    if (!readByteBlocking(reply)) {
      GiveUp("send", counter - 1);
      return false;
    }
    if (reply == ACK) {
      platform::Beep();
      platform::SleepMs(AfterBlockPauseMs);
    } else {
      --counter;
      position -= BlockSize;
      for (int i = 0; i < 3; ++i) {
        platform::Beep();
        platform::SleepMs(AfterBlockPauseMs);
      }
    }
  } while (position < byteCount);

  // A receiver may exit right after its ACK to EOT and lose it on the way, and a device may answer
  // EOT with anything else for ever: EOT goes out at most a fixed number of times, each waiting a
  // second for the ACK, and every block has been acknowledged all the same.
  unsigned char reply = 0;
  for (int eots = 0; eots < MaxEots && reply != ACK; ++eots) {
    SendControlByte(EOT);
    readByteBlocking(reply, EotReplyWaitMs);  // a silent second leaves the reply as it was: no ACK
  }
  SetNormalTitle();
  RecordLineEvent("send ended: %d blocks", counter);
  return true;
}
