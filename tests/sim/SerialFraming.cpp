#include "sim/SerialFraming.h"

#include <algorithm>

uint8_t SimFrameChecksum(uint8_t id, const std::vector<uint8_t>& data) {
  unsigned sum = id + static_cast<unsigned>(data.size());
  for (uint8_t byte : data) sum += byte;
  return static_cast<uint8_t>(0x100 - (sum & 0xFF));
}

bool EncodeSimFrame(const SimPacket& packet, std::vector<uint8_t>& frame, bool corruptChecksum) {
  frame.clear();
  if (packet.data.size() > 255) return false;
  const uint8_t id = static_cast<uint8_t>(packet.id & 0xFF);
  auto put = [&frame](uint8_t byte) {
    frame.push_back(byte);
    if (byte == SIM_DLE) frame.push_back(SIM_DLE);
  };
  frame.push_back(SIM_DLE);
  put(id);
  put(static_cast<uint8_t>(packet.data.size()));
  for (uint8_t byte : packet.data) put(byte);
  uint8_t checksum = SimFrameChecksum(id, packet.data);
  if (corruptChecksum) checksum = static_cast<uint8_t>(checksum + 1);
  put(checksum);
  frame.push_back(SIM_DLE);
  frame.push_back(SIM_ETX);
  return true;
}

void CSimFrameDecoder::Reset() {
  m_state = EState::Idle;
  m_body.clear();
}

void CSimFrameDecoder::_BeginBody(uint8_t firstByte) {
  m_body.clear();
  m_body.push_back(firstByte);
  m_state = EState::Body;
}

void CSimFrameDecoder::_FinishBody(std::vector<SimFrame>& frames, bool terminated) {
  SimFrame frame;
  if (!m_body.empty()) frame.packet.id = m_body[0];
  if (m_body.size() >= 2) {
    const size_t size = m_body[1];
    const size_t available = m_body.size() >= 3 ? m_body.size() - 3 : 0;
    frame.packet.data.assign(m_body.begin() + 2, m_body.begin() + 2 + std::min(size, available));
    frame.good = terminated && m_body.size() == size + 3 &&
                 m_body.back() == SimFrameChecksum(m_body[0], frame.packet.data);
  }
  frames.push_back(std::move(frame));
  m_body.clear();
}

void CSimFrameDecoder::Feed(const uint8_t* bytes, size_t count, std::vector<SimFrame>& frames) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t byte = bytes[i];
    switch (m_state) {
      case EState::Idle:
        if (byte == SIM_DLE) {
          m_state = EState::StartDle;
        } else {
          ++m_skipped;
        }
        break;
      case EState::StartDle:
        if (byte == SIM_DLE) {
          // Either a stuffed id of 16 follows, or this was noise.
          m_state = EState::StartDleDle;
        } else if (byte == SIM_ETX) {
          m_skipped += 2;
          m_state = EState::Idle;
        } else {
          _BeginBody(byte);
        }
        break;
      case EState::StartDleDle:
        if (byte == SIM_DLE) {
          _BeginBody(SIM_DLE);
        } else {
          // DLE DLE x: the second DLE may itself open a frame whose id is x.
          m_skipped += 1;
          if (byte == SIM_ETX) {
            m_skipped += 2;
            m_state = EState::Idle;
          } else {
            _BeginBody(byte);
          }
        }
        break;
      case EState::Body:
        if (byte == SIM_DLE) {
          m_state = EState::BodyDle;
        } else {
          m_body.push_back(byte);
        }
        break;
      case EState::BodyDle:
        if (byte == SIM_DLE) {
          m_body.push_back(SIM_DLE);
          m_state = EState::Body;
        } else if (byte == SIM_ETX) {
          _FinishBody(frames, true);
          m_state = EState::Idle;
        } else {
          // A new frame starts before this one ended: report the broken one.
          _FinishBody(frames, false);
          _BeginBody(byte);
        }
        break;
    }
    // A frame body can never exceed id + size + 255 data + checksum; longer means lost sync.
    if (m_body.size() > 258) {
      _FinishBody(frames, false);
      m_state = EState::Idle;
    }
  }
}
