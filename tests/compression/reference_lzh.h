// A plain LZH encoder for the tests, written step by step from the format's description with no
// speed work at all: byte-at-a-time compares, the tree rebuild by insertion, scans one position at
// a time. The coder's optimised encoder must produce exactly its bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace vornix::test {

class ReferenceLzhEncoder {
 public:
  std::vector<uint8_t> Encode(const std::vector<uint8_t>& input) {
    input_ = &input;
    read_ = 0;
    out_.clear();
    out_bits_ = 0;
    out_count_ = 0;
    std::memset(window_, 0, sizeof window_);
    for (int s = 0; s < kSymbols; ++s) {
      freq_[s] = 1;
      child_[s] = static_cast<int16_t>(kNodes + s);
      parent_[kNodes + s] = static_cast<int16_t>(s);
    }
    for (int i = 0, j = kSymbols; j < kNodes; i += 2, ++j) {
      freq_[j] = static_cast<int16_t>(freq_[i] + freq_[i + 1]);
      child_[j] = static_cast<int16_t>(i);
      parent_[i] = parent_[i + 1] = static_cast<int16_t>(j);
    }
    freq_[kNodes] = 4095;
    parent_[kRoot] = 0;
    for (int i = kN + 1; i <= kN + 256; ++i) right_[i] = kNil;
    for (int i = 0; i <= kN; ++i) dad_[i] = kNil;

    int s = 0, r = kN - kF;
    std::memset(window_, ' ', kN - kF);
    int len = 0;
    for (int c; len < kF && (c = Next()) >= 0; ++len) window_[r + len] = static_cast<uint8_t>(c);
    for (int i = 1; i <= kF; ++i) Insert(r - i);
    Insert(r);
    do {
      if (match_len_ > len) match_len_ = len;
      if (match_len_ <= 2) {
        match_len_ = 1;
        EncodeSymbol(window_[r]);
      } else {
        EncodeSymbol(255 - 2 + match_len_);
        EncodeOffset(match_pos_);
      }
      const int last = match_len_;
      int i = 0;
      for (int c; i < last && (c = Next()) >= 0; ++i) {
        Delete(s);
        window_[s] = static_cast<uint8_t>(c);
        if (s < kF - 1) window_[s + kN] = static_cast<uint8_t>(c);
        s = (s + 1) & (kN - 1);
        r = (r + 1) & (kN - 1);
        Insert(r);
      }
      while (i++ < last) {
        Delete(s);
        s = (s + 1) & (kN - 1);
        r = (r + 1) & (kN - 1);
        if (--len) Insert(r);
      }
    } while (len > 0);
    if (out_count_) out_.push_back(static_cast<uint8_t>(out_bits_ >> 8));
    return out_;
  }

 private:
  static constexpr int kN = 4096, kF = 60, kNil = kN, kSymbols = 314, kNodes = 627, kRoot = 626;

  int Next() { return read_ < input_->size() ? (*input_)[read_++] : -1; }

  void Insert(int r) {
    int cmp = 1;
    const uint8_t* key = &window_[r];
    int p = kN + 1 + key[0];
    right_[r] = left_[r] = kNil;
    match_len_ = 0;
    for (;;) {
      if (cmp >= 0) {
        if (right_[p] != kNil) {
          p = right_[p];
        } else {
          right_[p] = static_cast<int16_t>(r);
          dad_[r] = static_cast<int16_t>(p);
          return;
        }
      } else {
        if (left_[p] != kNil) {
          p = left_[p];
        } else {
          left_[p] = static_cast<int16_t>(r);
          dad_[r] = static_cast<int16_t>(p);
          return;
        }
      }
      int i = 1;
      for (; i < kF; ++i) {
        cmp = int{key[i]} - int{window_[p + i]};
        if (cmp != 0) break;
      }
      if (i == kF) cmp = 0;
      if (i > 2) {
        const int c = ((r - p) & (kN - 1)) - 1;
        if (i > match_len_) {
          match_pos_ = c;
          match_len_ = i;
          if (i >= kF) break;
        } else if (i == match_len_ && c < match_pos_) {
          match_pos_ = c;
        }
      }
    }
    dad_[r] = dad_[p];
    left_[r] = left_[p];
    right_[r] = right_[p];
    dad_[left_[p]] = static_cast<int16_t>(r);
    dad_[right_[p]] = static_cast<int16_t>(r);
    if (right_[dad_[p]] == p) {
      right_[dad_[p]] = static_cast<int16_t>(r);
    } else {
      left_[dad_[p]] = static_cast<int16_t>(r);
    }
    dad_[p] = kNil;
  }

  void Delete(int p) {
    if (dad_[p] == kNil) return;
    int q;
    if (right_[p] == kNil) {
      q = left_[p];
    } else if (left_[p] == kNil) {
      q = right_[p];
    } else {
      q = left_[p];
      if (right_[q] != kNil) {
        do q = right_[q];
        while (right_[q] != kNil);
        right_[dad_[q]] = left_[q];
        dad_[left_[q]] = dad_[q];
        left_[q] = left_[p];
        dad_[left_[p]] = static_cast<int16_t>(q);
      }
      right_[q] = right_[p];
      dad_[right_[p]] = static_cast<int16_t>(q);
    }
    dad_[q] = dad_[p];
    if (right_[dad_[p]] == p) {
      right_[dad_[p]] = static_cast<int16_t>(q);
    } else {
      left_[dad_[p]] = static_cast<int16_t>(q);
    }
    dad_[p] = kNil;
  }

  void Rebuild() {
    int j = 0;
    for (int i = 0; i < kNodes; ++i) {
      if (child_[i] >= kNodes) {
        freq_[j] = static_cast<int16_t>((freq_[i] + 1) / 2);
        child_[j] = child_[i];
        ++j;
      }
    }
    for (int i = 0, jj = kSymbols; jj < kNodes; i += 2, ++jj) {
      const int f = freq_[i] + freq_[i + 1];
      int k = jj - 1;
      while (f < freq_[k]) --k;
      ++k;
      for (int m = jj; m > k; --m) {
        freq_[m] = freq_[m - 1];
        child_[m] = child_[m - 1];
      }
      freq_[k] = static_cast<int16_t>(f);
      child_[k] = static_cast<int16_t>(i);
    }
    for (int i = 0; i < kNodes; ++i) {
      const int k = child_[i];
      parent_[k] = static_cast<int16_t>(i);
      if (k < kNodes) parent_[k + 1] = static_cast<int16_t>(i);
    }
  }

  void Update(int symbol) {
    if (freq_[kRoot] == 2048) Rebuild();
    int c = parent_[symbol + kNodes];
    do {
      const int k = ++freq_[c];
      if (k > freq_[c + 1]) {
        int l = c + 1;
        while (k > freq_[l + 1]) ++l;
        freq_[c] = freq_[l];
        freq_[l] = static_cast<int16_t>(k);
        const int i = child_[c];
        parent_[i] = static_cast<int16_t>(l);
        if (i < kNodes) parent_[i + 1] = static_cast<int16_t>(l);
        const int j = child_[l];
        child_[l] = static_cast<int16_t>(i);
        parent_[j] = static_cast<int16_t>(c);
        if (j < kNodes) parent_[j + 1] = static_cast<int16_t>(c);
        child_[c] = static_cast<int16_t>(j);
        c = l;
      }
      c = parent_[c];
    } while (c != 0);
  }

  void PutBits(int n, unsigned v) {
    out_bits_ = static_cast<uint16_t>(out_bits_ | (v >> out_count_));
    out_count_ += n;
    if (out_count_ >= 8) {
      out_.push_back(static_cast<uint8_t>(out_bits_ >> 8));
      out_count_ -= 8;
      if (out_count_ >= 8) {
        out_.push_back(static_cast<uint8_t>(out_bits_));
        out_count_ -= 8;
        out_bits_ = static_cast<uint16_t>(v << (n - out_count_));
      } else {
        out_bits_ = static_cast<uint16_t>(out_bits_ << 8);
      }
    }
  }

  void EncodeSymbol(int symbol) {
    unsigned code = 0;
    int n = 0;
    int k = parent_[symbol + kNodes];
    do {
      code >>= 1;
      if (k & 1) code += 0x8000;
      ++n;
    } while ((k = parent_[k]) != kRoot);
    PutBits(n, code & 0xFFFF);
    Update(symbol);
  }

  void EncodeOffset(int offset) {
    // Code lengths by u in increasing u, codes assigned in order.
    const int u = offset >> 6;
    int code = 0;
    int length = 3;
    for (int v = 0;; ++v) {
      length = v < 1 ? 3 : v < 4 ? 4 : v < 12 ? 5 : v < 24 ? 6 : v < 48 ? 7 : 8;
      if (v == u) break;
      code += 1 << (8 - length);
    }
    PutBits(length, static_cast<unsigned>(code) << 8);
    PutBits(6, static_cast<unsigned>(offset & 63) << 10);
  }

  const std::vector<uint8_t>* input_ = nullptr;
  size_t read_ = 0;
  std::vector<uint8_t> out_;
  uint16_t out_bits_ = 0;
  int out_count_ = 0;
  int match_pos_ = 0, match_len_ = 0;
  uint8_t window_[kN + kF - 1 + 8];
  int16_t left_[kN + 1], right_[kN + 257], dad_[kN + 1];
  int16_t freq_[kNodes + 1], parent_[kNodes + kSymbols], child_[kNodes];
};

}  // namespace vornix::test
