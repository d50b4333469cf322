// A text field of fixed capacity: a longer value is cut to the capacity when stored, never rejected.
// Capacities count bytes, as the signature and the path are stored and programmed byte by byte.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zepa::chain {

template <std::size_t N>
class FixedText {
 public:
  static constexpr std::size_t capacity = N;

  FixedText() = default;
  explicit FixedText(std::string_view value) { assign(value); }

  FixedText& operator=(std::string_view value) {
    assign(value);
    return *this;
  }

  void assign(std::string_view value) {
    text_.assign(value.substr(0, N));
    cut_ = value.size() > N;
  }
  void clear() {
    text_.clear();
    cut_ = false;
  }
  // Whether the value last stored was longer than the capacity (and so was cut).
  bool cut() const { return cut_; }

  const std::string& str() const { return text_; }
  const char* c_str() const { return text_.c_str(); }
  operator std::string_view() const { return text_; }
  bool empty() const { return text_.empty(); }
  std::size_t size() const { return text_.size(); }

  friend bool operator==(const FixedText& a, std::string_view b) { return a.text_ == b; }
  friend bool operator==(const FixedText& a, const FixedText& b) { return a.text_ == b.text_; }

 private:
  std::string text_;
  bool cut_ = false;
};

}  // namespace zepa::chain
