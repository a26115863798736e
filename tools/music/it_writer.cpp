#include "music/it_writer.h"

#include <algorithm>

#include "core/bytes.h"

namespace {

void putText(std::vector<uint8_t>* f, size_t at, const std::string& s, size_t room) {
  for (size_t i = 0; i < s.size() && i + 1 < room; ++i) (*f)[at + i] = static_cast<uint8_t>(s[i]);
}

bool bad(std::string* error, const std::string& what) {
  *error = what;
  return false;
}

bool checkModule(const ItModule& m, std::string* error) {
  if (m.channels < 1 || m.channels > IT_MAX_CHANNELS) return bad(error, "channel count out of range");
  if (m.orders.empty() || m.orders.size() > IT_MAX_ORDERS - 1) return bad(error, "order count out of range");
  if (m.samples.empty() || m.samples.size() > IT_MAX_SAMPLES) return bad(error, "sample count out of range");
  if (m.patterns.empty() || m.patterns.size() > IT_MAX_PATTERNS) return bad(error, "pattern count out of range");
  if (m.speed == 0 || m.tempo < 32) return bad(error, "speed or tempo out of range");
  for (uint8_t o : m.orders) {
    if (o >= m.patterns.size()) return bad(error, "order names a missing pattern");
  }
  for (const ItSample& s : m.samples) {
    if (s.pcm.empty()) return bad(error, "sample '" + s.name + "' is empty");
    if (s.loop && (s.loopStart >= s.loopEnd || s.loopEnd > s.pcm.size())) {
      return bad(error, "sample '" + s.name + "' has bad loop points");
    }
    if (s.volume > 64 || s.globalVolume > 64) return bad(error, "sample '" + s.name + "' volume out of range");
  }
  for (size_t p = 0; p < m.patterns.size(); ++p) {
    const ItPattern& pat = m.patterns[p];
    const std::string where = "pattern " + std::to_string(p);
    if (pat.rows < 1 || pat.rows > IT_MAX_ROWS) return bad(error, where + ": row count out of range");
    if (pat.channels != m.channels || pat.cells.size() != static_cast<size_t>(pat.rows * pat.channels)) {
      return bad(error, where + ": cell table does not match rows × channels");
    }
    for (const ItCell& c : pat.cells) {
      const bool noteOk = c.note == IT_NOTE_NONE || (c.note >= 0 && c.note <= 119) || c.note == IT_NOTE_CUT ||
                          c.note == IT_NOTE_OFF;
      if (!noteOk) return bad(error, where + ": note out of range");
      if (c.sample < 0 || c.sample > static_cast<int>(m.samples.size())) {
        return bad(error, where + ": cell names a missing sample");
      }
      if (c.volume != IT_VOL_NONE && (c.volume < 0 || c.volume > 64)) return bad(error, where + ": volume out of range");
      if (c.effect == IT_FX_JUMP && c.param >= m.orders.size()) return bad(error, where + ": jump past the order list");
    }
  }
  return true;
}

// One pattern's packed rows: per used channel a channel byte with bit 7 set,
// a mask byte (1 note, 2 sample, 4 volume, 8 effect) and the fields the mask
// names; a zero byte ends each row.
std::vector<uint8_t> packPattern(const ItPattern& p) {
  std::vector<uint8_t> d;
  for (int r = 0; r < p.rows; ++r) {
    for (int ch = 0; ch < p.channels; ++ch) {
      const ItCell& c = p.at(r, ch);
      uint8_t mask = 0;
      if (c.note != IT_NOTE_NONE) mask |= 1;
      if (c.sample > 0) mask |= 2;
      if (c.volume != IT_VOL_NONE) mask |= 4;
      if (c.effect != IT_FX_NONE) mask |= 8;
      if (!mask) continue;
      d.push_back(static_cast<uint8_t>((ch + 1) | 0x80));
      d.push_back(mask);
      if (mask & 1) d.push_back(static_cast<uint8_t>(c.note));
      if (mask & 2) d.push_back(static_cast<uint8_t>(c.sample));
      if (mask & 4) d.push_back(static_cast<uint8_t>(c.volume));
      if (mask & 8) {
        d.push_back(c.effect);
        d.push_back(c.param);
      }
    }
    d.push_back(0);
  }
  return d;
}

}  // namespace

ItPattern itPattern(int rows, int channels) {
  ItPattern p;
  p.rows = rows;
  p.channels = channels;
  p.cells.assign(static_cast<size_t>(std::max(rows, 0) * std::max(channels, 0)), ItCell{});
  return p;
}

bool itWrite(const ItModule& m, std::vector<uint8_t>* out, std::string* error) {
  if (!checkModule(m, error)) return false;
  std::vector<uint8_t> f(0xC0, 0);
  putText(&f, 0, "IMPM", 5);
  putText(&f, 0x04, m.name, 26);
  bwPatchLe<uint8_t>(&f, 0x1E, 4);    // row highlights: beat, bar
  bwPatchLe<uint8_t>(&f, 0x1F, 16);
  const uint32_t orderCount = static_cast<uint32_t>(m.orders.size() + 1);  // with the closing 255
  bwPatchLe<uint16_t>(&f, 0x20, orderCount);
  bwPatchLe<uint16_t>(&f, 0x22, 0);
  bwPatchLe<uint16_t>(&f, 0x24, static_cast<uint32_t>(m.samples.size()));
  bwPatchLe<uint16_t>(&f, 0x26, static_cast<uint32_t>(m.patterns.size()));
  bwPatchLe<uint16_t>(&f, 0x28, 0x0214);
  bwPatchLe<uint16_t>(&f, 0x2A, 0x0214);
  bwPatchLe<uint16_t>(&f, 0x2C, 0x0001 | 0x0008);  // stereo, linear slides; no instruments
  bwPatchLe<uint8_t>(&f, 0x30, m.globalVolume);
  bwPatchLe<uint8_t>(&f, 0x31, m.mixVolume);
  bwPatchLe<uint8_t>(&f, 0x32, m.speed);
  bwPatchLe<uint8_t>(&f, 0x33, m.tempo);
  bwPatchLe<uint8_t>(&f, 0x34, 128);  // panning separation
  for (int c = 0; c < 64; ++c) {
    const bool on = c < m.channels;
    const size_t pc = static_cast<size_t>(c);
    const int pan = on && pc < m.panning.size() ? std::clamp<int>(m.panning[pc], 0, 64) : 32;
    bwPatchLe<uint8_t>(&f, 0x40 + pc, static_cast<uint32_t>(on ? pan : 32 + 128));  // +128 disables a channel
    bwPatchLe<uint8_t>(&f, 0x80 + pc, 64);
  }
  for (uint8_t o : m.orders) f.push_back(o);
  f.push_back(255);
  const size_t sampleTable = f.size();
  f.resize(f.size() + 4 * m.samples.size(), 0);
  const size_t patternTable = f.size();
  f.resize(f.size() + 4 * m.patterns.size(), 0);

  // Sample headers first, then their data, then the patterns.
  std::vector<size_t> headerAt;
  for (size_t i = 0; i < m.samples.size(); ++i) {
    const ItSample& s = m.samples[i];
    const size_t h = f.size();
    headerAt.push_back(h);
    bwPatchLe<uint32_t>(&f, sampleTable + 4 * i, static_cast<uint32_t>(h));
    f.resize(h + 0x50, 0);
    putText(&f, h, "IMPS", 5);
    putText(&f, h + 0x04, "SMP" + std::to_string(i + 1) + ".RAW", 13);
    bwPatchLe<uint8_t>(&f, h + 0x11, s.globalVolume);
    bwPatchLe<uint8_t>(&f, h + 0x12, 1u | (s.bits16 ? 2u : 0u) | (s.loop ? 16u : 0u));
    bwPatchLe<uint8_t>(&f, h + 0x13, s.volume);
    putText(&f, h + 0x14, s.name, 26);
    bwPatchLe<uint8_t>(&f, h + 0x2E, 1);   // signed samples
    bwPatchLe<uint8_t>(&f, h + 0x2F, 32);  // default panning, not used (bit 7 clear)
    bwPatchLe<uint32_t>(&f, h + 0x30, static_cast<uint32_t>(s.pcm.size()));
    bwPatchLe<uint32_t>(&f, h + 0x34, s.loop ? s.loopStart : 0);
    bwPatchLe<uint32_t>(&f, h + 0x38, s.loop ? s.loopEnd : 0);
    bwPatchLe<uint32_t>(&f, h + 0x3C, s.c5speed);
  }
  for (size_t i = 0; i < m.samples.size(); ++i) {
    const ItSample& s = m.samples[i];
    bwPatchLe<uint32_t>(&f, headerAt[i] + 0x48, static_cast<uint32_t>(f.size()));
    // 8-bit samples keep the high byte.
    for (int16_t v : s.pcm) {
      if (s.bits16)
        bwLe<int16_t>(&f, v);
      else
        bwU8(&f, static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
    }
  }
  for (size_t p = 0; p < m.patterns.size(); ++p) {
    const std::vector<uint8_t> data = packPattern(m.patterns[p]);
    if (data.size() > 0xFFFF) return bad(error, "pattern " + std::to_string(p) + " packs to more than 64 KB");
    bwPatchLe<uint32_t>(&f, patternTable + 4 * p, static_cast<uint32_t>(f.size()));
    const size_t h = f.size();
    f.resize(h + 8, 0);
    bwPatchLe<uint16_t>(&f, h, static_cast<uint32_t>(data.size()));
    bwPatchLe<uint16_t>(&f, h + 2, static_cast<uint32_t>(m.patterns[p].rows));
    f.insert(f.end(), data.begin(), data.end());
  }
  *out = std::move(f);
  return true;
}
