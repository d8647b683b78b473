// make_stream_log: writes a synthetic TPC-H query-stream log.
//
// The log has the layout a benchmark driver produces with psql: per query a
// header line, the SQL text, a heading of column names, a line of "=", the
// rows (columns joined by "|"), "(N rows)", a timing line and an empty line.
// The values are random but shaped like real answers (char(n) columns keep
// their blank padding), so the log exercises streamtrim the way a real one
// does. Row counts default to what a scale-factor-1 run prints, which makes
// the query 16 result the only one over streamtrim's limit.
//
// The generator uses its own fixed-seed random sequence and integer-only
// formatting, so a given command line writes the same bytes on every machine.

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace {

constexpr const char* kProgram = "make_stream_log";
constexpr int kQueries = 22;

// splitmix64: tiny, fast and good enough for plausible-looking values.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  uint64_t below(uint64_t n) { return n == 0 ? 0 : next() % n; }
  uint64_t between(uint64_t lo, uint64_t hi) { return lo + below(hi - lo + 1); }
  template <size_t N>
  const char* pick(const std::array<const char*, N>& items) {
    return items[below(N)];
  }

 private:
  uint64_t state_;
};

[[noreturn]] void fail(const std::string& what, const std::string& reason) {
  std::fprintf(stderr, "%s: %s: %s\n", kProgram, what.c_str(), reason.c_str());
  std::exit(1);
}

// Collects the log in a large buffer and writes it in big chunks; every
// failing write or close ends the program with the path and the reason.
class Output {
 public:
  explicit Output(const char* path) : path_(path), file_(std::fopen(path, "wb")) {
    if (file_ == nullptr)
      fail(path_, std::strerror(errno));
    text.reserve(kChunk + 64 * 1024);
  }
  void endLine() {
    text += '\n';
    if (text.size() >= kChunk)
      flush();
  }
  void line(std::string_view s) {
    text += s;
    endLine();
  }
  void close() {
    flush();
    if (std::fclose(file_) != 0)
      fail(path_, std::strerror(errno));
  }

  std::string text;  // the pending, not yet written part of the log

 private:
  static constexpr size_t kChunk = 1 << 20;
  void flush() {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0)
      fail(path_, errno != 0 ? std::strerror(errno) : "write error");
    text.clear();
  }
  std::string path_;
  std::FILE* file_;
};

// ---- value formatting (integers only, so the bytes never depend on the
// platform's floating-point printing) ----

void appendInt(std::string& out, uint64_t value) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

void appendZeroPadded(std::string& out, uint64_t value, size_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width)
    out.append(width - digits.size(), '0');
  out += digits;
}

// value / 10^decimals with exactly `decimals` digits after the point.
void appendDecimal(std::string& out, uint64_t value, int decimals) {
  uint64_t scale = 1;
  for (int i = 0; i < decimals; ++i)
    scale *= 10;
  appendInt(out, value / scale);
  out += '.';
  appendZeroPadded(out, value % scale, decimals);
}

// An integer part and a long random fraction, like psql prints numeric avg().
void appendLongFraction(std::string& out, Random& rng, uint64_t whole, int digits) {
  appendInt(out, whole);
  out += '.';
  for (int i = 0; i < digits; ++i)
    out += static_cast<char>('0' + rng.below(10));
}

// A char(n) column: psql keeps the blank padding.
void appendPadded(std::string& out, std::string_view value, size_t width) {
  out += value;
  if (value.size() < width)
    out.append(width - value.size(), ' ');
}

void appendKeyName(std::string& out, std::string_view prefix, uint64_t key, size_t width) {
  size_t start = out.size();
  out += prefix;
  appendZeroPadded(out, key, 9);
  if (out.size() - start < width)
    out.append(width - (out.size() - start), ' ');
}

void appendSupplier(std::string& out, uint64_t key) {
  appendKeyName(out, "Supplier#", key, 25);
}
void appendCustomer(std::string& out, uint64_t key) {
  appendKeyName(out, "Customer#", key, 0);
}

// Days since 1970-01-01 as YYYY-MM-DD (proleptic Gregorian calendar).
void appendDate(std::string& out, int64_t days) {
  days += 719468;
  int64_t era = days / 146097;
  int64_t dayOfEra = days - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t mp = (5 * dayOfYear + 2) / 153;
  int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  appendInt(out, static_cast<uint64_t>(year));
  out += '-';
  appendZeroPadded(out, static_cast<uint64_t>(month), 2);
  out += '-';
  appendZeroPadded(out, static_cast<uint64_t>(day), 2);
}

constexpr int64_t kDay1992 = 8035;  // 1992-01-01, the first order date in TPC-H

void appendOrderDate(std::string& out, Random& rng) {
  appendDate(out, kDay1992 + static_cast<int64_t>(rng.below(2405)));
}

void appendPhone(std::string& out, Random& rng) {
  appendInt(out, rng.between(10, 34));
  out += '-';
  appendInt(out, rng.between(100, 999));
  out += '-';
  appendInt(out, rng.between(100, 999));
  out += '-';
  appendInt(out, rng.between(1000, 9999));
}

void appendAddress(std::string& out, Random& rng) {
  static constexpr std::string_view kChars =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ,";
  for (uint64_t i = rng.between(10, 40); i > 0; --i)
    out += kChars[rng.below(kChars.size())];
}

constexpr std::array<const char*, 24> kWords = {
    "furiously", "ironic",      "blithely",     "final",    "regular",  "express",
    "pending",   "special",     "carefully",    "quickly",  "bold",     "even",
    "slyly",     "deposits",    "accounts",     "requests", "packages", "theodolites",
    "foxes",     "pinto beans", "instructions", "sleep",    "haggle",   "nag"};

void appendComment(std::string& out, Random& rng, size_t minLength, size_t maxLength) {
  size_t start = out.size();
  size_t length = rng.between(minLength, maxLength);
  while (out.size() - start < length) {
    if (out.size() != start)
      out += ' ';
    out += rng.pick(kWords);
  }
  out.resize(start + length);
}

constexpr std::array<const char*, 25> kNations = {
    "ALGERIA", "ARGENTINA", "BRAZIL",         "CANADA",       "EGYPT", "ETHIOPIA", "FRANCE",
    "GERMANY", "INDIA",     "INDONESIA",      "IRAN",         "IRAQ",  "JAPAN",    "JORDAN",
    "KENYA",   "MOROCCO",   "MOZAMBIQUE",     "PERU",         "CHINA", "ROMANIA",  "SAUDI ARABIA",
    "VIETNAM", "RUSSIA",    "UNITED KINGDOM", "UNITED STATES"};

void appendNation(std::string& out, Random& rng) {
  appendPadded(out, rng.pick(kNations), 25);
}

// A value that falls from `high` towards `low` over the rows of a result, as
// in results ordered by that column descending.
uint64_t falling(uint64_t high, uint64_t low, uint64_t row, uint64_t rows) {
  return high - static_cast<uint64_t>(static_cast<unsigned __int128>(high - low) * row / rows);
}

// Like falling(), with random steps: the values stay ordered but look measured.
uint64_t descending(Random& rng, uint64_t high, uint64_t low, uint64_t row, uint64_t rows) {
  uint64_t step = (high - low) / rows;
  return falling(high, low, row, rows) - rng.below(step == 0 ? 1 : step);
}

// ---- the rows of each query: (output, random, 0-based row, row count) ----

using RowWriter = void (*)(std::string&, Random&, uint64_t, uint64_t);

void q1Row(std::string& o, Random& r, uint64_t i, uint64_t) {
  static constexpr std::array<const char*, 4> kFlags = {"A|F", "N|F", "N|O", "R|F"};
  o += kFlags[i % 4];
  o += '|';
  appendDecimal(o, r.between(90000000, 7500000000), 2);
  o += '|';
  appendDecimal(o, r.between(140000000000, 11300000000000), 2);
  o += '|';
  appendDecimal(o, r.between(1300000000000, 107000000000000), 4);
  o += '|';
  appendDecimal(o, r.between(1400000000000000, 111000000000000000), 6);
  o += '|';
  appendLongFraction(o, r, 25, 16);
  o += '|';
  appendLongFraction(o, r, r.between(38200, 38300), 12);
  o += "|0.0";
  appendZeroPadded(o, r.between(4900000000, 5010000000), 10);
  appendZeroPadded(o, r.below(1000000000), 9);
  o += '|';
  appendInt(o, r.between(38000, 2950000));
}

void q2Row(std::string& o, Random& r, uint64_t i, uint64_t n) {
  appendDecimal(o, descending(r, 999999, 900000, i, n), 2);
  o += '|';
  appendSupplier(o, r.between(1, 10000));
  o += '|';
  appendNation(o, r);
  o += '|';
  appendInt(o, r.between(1, 200000));
  o += "|Manufacturer#";
  o += static_cast<char>('1' + r.below(5));
  o.append(11, ' ');
  o += '|';
  appendAddress(o, r);
  o += '|';
  appendPhone(o, r);
  o += '|';
  appendComment(o, r, 25, 100);
}

void q3Row(std::string& o, Random& r, uint64_t i, uint64_t n) {
  appendInt(o, r.between(1, 6000000));
  o += '|';
  appendDecimal(o, descending(r, 4400000000, 100000000, i, n), 4);
  o += '|';
  appendDate(o, 9130 + static_cast<int64_t>(r.below(30)));  // early 1995
  o += "|0";
}

void q4Row(std::string& o, Random& r, uint64_t i, uint64_t) {
  static constexpr std::array<const char*, 5> kPriorities = {"1-URGENT", "2-HIGH", "3-MEDIUM",
                                                             "4-NOT SPECIFIED", "5-LOW"};
  appendPadded(o, kPriorities[i % 5], 15);
  o += '|';
  appendInt(o, r.between(10300, 10600));
}

void nationRevenueRow(std::string& o, Random& r, uint64_t i, uint64_t n) {
  appendNation(o, r);
  o += '|';
  appendDecimal(o, descending(r, 600000000000, 400000000000, i, n), 4);
}

void singleRevenue(std::string& o, Random& r, uint64_t, uint64_t) {
  appendDecimal(o, r.between(1000000000, 1500000000000), 4);
}

void q7Row(std::string& o, Random& r, uint64_t i, uint64_t) {
  appendNation(o, r);
  o += '|';
  appendNation(o, r);
  o += '|';
  appendInt(o, 1995 + i % 2);
  o += '|';
  appendDecimal(o, r.between(450000000000, 560000000000), 4);
}

void q8Row(std::string& o, Random& r, uint64_t i, uint64_t) {
  appendInt(o, 1995 + i);
  o += "|0.0";
  appendZeroPadded(o, r.between(300000000, 500000000), 9);
  appendZeroPadded(o, r.below(10000000000), 10);
}

void q9Row(std::string& o, Random& r, uint64_t i, uint64_t) {
  appendPadded(o, kNations[(i / 7) % kNations.size()], 25);
  o += '|';
  appendInt(o, 1998 - i % 7);
  o += '|';
  appendDecimal(o, r.between(260000000000, 620000000000), 4);
}

void q10Row(std::string& o, Random& r, uint64_t i, uint64_t n) {
  uint64_t key = r.between(1, 150000);
  appendInt(o, key);
  o += '|';
  appendCustomer(o, key);
  o += '|';
  appendDecimal(o, descending(r, 7600000000, 3000000000, i, n), 4);
  o += '|';
  appendDecimal(o, r.below(1099999), 2);
  o += '|';
  appendNation(o, r);
  o += '|';
  appendAddress(o, r);
  o += '|';
  appendPhone(o, r);
  o += '|';
  appendComment(o, r, 30, 110);
}

void q11Row(std::string& o, Random& r, uint64_t i, uint64_t n) {
  appendInt(o, r.between(1, 200000));
  o += '|';
  appendDecimal(o, descending(r, 1900000000, 790000000, i, n), 2);
}

void q12Row(std::string& o, Random& r, uint64_t i, uint64_t) {
  static constexpr std::array<const char*, 7> kModes = {"AIR",     "FOB",  "MAIL", "RAIL",
                                                        "REG AIR", "SHIP", "TRUCK"};
  appendPadded(o, kModes[i % 7], 10);
  o += '|';
  appendInt(o, r.between(6100, 6400));
  o += '|';
  appendInt(o, r.between(9100, 9400));
}

void q13Row(std::string& o, Random& r, uint64_t i, uint64_t n) {
  appendInt(o, i == 0 ? 0 : r.between(1, 41));
  o += '|';
  appendInt(o, i == 0 ? 50004 : falling(6600, 1, i, n));
}

void q14Row(std::string& o, Random& r, uint64_t, uint64_t) {
  appendLongFraction(o, r, 16, 16);
}

void q15Row(std::string& o, Random& r, uint64_t, uint64_t) {
  uint64_t key = r.between(1, 10000);
  appendInt(o, key);
  o += '|';
  appendSupplier(o, key);
  o += '|';
  appendAddress(o, r);
  o += '|';
  appendPhone(o, r);
  o += '|';
  appendDecimal(o, r.between(17000000000, 19000000000), 4);
}

void q16Row(std::string& o, Random& r, uint64_t i, uint64_t n) {
  static constexpr std::array<const char*, 6> kSize = {"STANDARD", "SMALL",   "MEDIUM",
                                                       "LARGE",    "ECONOMY", "PROMO"};
  static constexpr std::array<const char*, 5> kFinish = {"ANODIZED", "BURNISHED", "PLATED",
                                                         "POLISHED", "BRUSHED"};
  static constexpr std::array<const char*, 5> kMetal = {"TIN", "NICKEL", "BRASS", "STEEL",
                                                        "COPPER"};
  static constexpr std::array<uint64_t, 8> kSizes = {49, 14, 23, 45, 19, 3, 36, 9};
  char manufacturer = static_cast<char>('1' + r.below(5));
  char brand = static_cast<char>('1' + r.below(5));
  if (manufacturer == '2' && brand == '1')
    brand = '2';  // the query excludes Brand#21
  o += "Brand#";
  o += manufacturer;
  o += brand;
  o += "  |";
  o += r.pick(kSize);
  o += ' ';
  o += r.pick(kFinish);
  o += ' ';
  o += r.pick(kMetal);
  o += '|';
  appendInt(o, kSizes[r.below(kSizes.size())]);
  o += '|';
  // Most groups have four suppliers; only the first few have many more.
  uint64_t share = falling(1000, 0, i, n);
  appendInt(o, 4 + 24 * share * share * share / 1000000000);
}

void q17Row(std::string& o, Random& r, uint64_t, uint64_t) {
  appendLongFraction(o, r, r.between(300000, 400000), 12);
}

void q18Row(std::string& o, Random& r, uint64_t i, uint64_t n) {
  uint64_t key = r.between(1, 150000);
  appendCustomer(o, key);
  o += '|';
  appendInt(o, key);
  o += '|';
  appendInt(o, r.between(1, 6000000));
  o += '|';
  appendOrderDate(o, r);
  o += '|';
  appendDecimal(o, descending(r, 55000000, 35000000, i, n), 2);
  o += '|';
  appendInt(o, r.between(301, 325));
  o += ".00";
}

void q20Row(std::string& o, Random& r, uint64_t i, uint64_t n) {
  uint64_t step = n < 10000 ? 10000 / n : 1;  // names ascend, as ordered
  appendSupplier(o, 1 + i * step + r.below(step));
  o += '|';
  appendAddress(o, r);
}

void q21Row(std::string& o, Random& r, uint64_t i, uint64_t n) {
  appendSupplier(o, r.between(1, 10000));
  o += '|';
  appendInt(o, falling(20, 8, i, n));
}

void q22Row(std::string& o, Random& r, uint64_t i, uint64_t) {
  static constexpr std::array<const char*, 7> kCodes = {"13", "17", "18", "23", "29", "30", "31"};
  o += kCodes[i % 7];
  o += '|';
  appendInt(o, r.between(850, 950));
  o += '|';
  appendDecimal(o, r.between(630000000, 720000000), 2);
}

struct Query {
  const char* sql;
  const char* heading;
  uint64_t rows;  // the usual count of a scale-factor-1 run
  uint32_t milliseconds;
  RowWriter row;
};

// Indexed by query number - 1.
const std::array<Query, kQueries> kQueryTable = {{
    {"select\n\tl_returnflag, l_linestatus, sum(l_quantity) as sum_qty,\n"
     "\tsum(l_extendedprice) as sum_base_price, count(*) as count_order\nfrom\n\tlineitem\n"
     "where\n\tl_shipdate <= date '1998-12-01' - interval '90' day\n"
     "group by\n\tl_returnflag, l_linestatus\norder by\n\tl_returnflag, l_linestatus;",
     "l_returnflag|l_linestatus|sum_qty|sum_base_price|sum_disc_price|sum_charge|avg_qty|"
     "avg_price|avg_disc|count_order",
     4, 5200, q1Row},
    {"select\n\ts_acctbal, s_name, n_name, p_partkey, p_mfgr, s_address, s_phone, s_comment\n"
     "from\n\tpart, supplier, partsupp, nation, region\nwhere\n\tp_partkey = ps_partkey\n"
     "\tand p_size = 30\n\tand p_type like '%BRASS'\n\tand r_name = 'AFRICA'\n"
     "order by\n\ts_acctbal desc, n_name, s_name, p_partkey\nlimit 100;",
     "s_acctbal|s_name|n_name|p_partkey|p_mfgr|s_address|s_phone|s_comment", 100, 270, q2Row},
    {"select\n\tl_orderkey, sum(l_extendedprice * (1 - l_discount)) as revenue,\n"
     "\to_orderdate, o_shippriority\nfrom\n\tcustomer, orders, lineitem\n"
     "where\n\tc_mktsegment = 'MACHINERY'\n\tand o_orderdate < date '1995-03-15'\n"
     "group by\n\tl_orderkey, o_orderdate, o_shippriority\n"
     "order by\n\trevenue desc, o_orderdate\nlimit 10;",
     "l_orderkey|revenue|o_orderdate|o_shippriority", 10, 770, q3Row},
    {"select\n\to_orderpriority, count(*) as order_count\nfrom\n\torders\n"
     "where\n\to_orderdate >= date '1993-07-01'\n\tand exists (select * from lineitem\n"
     "\t\twhere l_orderkey = o_orderkey and l_commitdate < l_receiptdate)\n"
     "group by\n\to_orderpriority\norder by\n\to_orderpriority;",
     "o_orderpriority|order_count", 5, 290, q4Row},
    {"select\n\tn_name, sum(l_extendedprice * (1 - l_discount)) as revenue\n"
     "from\n\tcustomer, orders, lineitem, supplier, nation, region\n"
     "where\n\tr_name = 'ASIA'\n\tand o_orderdate >= date '1994-01-01'\n"
     "group by\n\tn_name\norder by\n\trevenue desc;",
     "n_name|revenue", 5, 480, nationRevenueRow},
    {"select\n\tsum(l_extendedprice * l_discount) as revenue\nfrom\n\tlineitem\n"
     "where\n\tl_shipdate >= date '1994-01-01'\n\tand l_discount between 0.05 and 0.07\n"
     "\tand l_quantity < 24;",
     "revenue", 1, 540, singleRevenue},
    {"select\n\tsupp_nation, cust_nation, l_year, sum(volume) as revenue\n"
     "from\n\tshipping\ngroup by\n\tsupp_nation, cust_nation, l_year\n"
     "order by\n\tsupp_nation, cust_nation, l_year;",
     "supp_nation|cust_nation|l_year|revenue", 4, 680, q7Row},
    {"select\n\to_year, sum(case when nation = 'BRAZIL' then volume else 0 end)\n"
     "\t\t/ sum(volume) as mkt_share\nfrom\n\tall_nations\ngroup by\n\to_year\n"
     "order by\n\to_year;",
     "o_year|mkt_share", 2, 470, q8Row},
    {"select\n\tnation, o_year, sum(amount) as sum_profit\nfrom\n\tprofit\n"
     "group by\n\tnation, o_year\norder by\n\tnation, o_year desc;",
     "nation|o_year|sum_profit", 175, 2590, q9Row},
    {"select\n\tc_custkey, c_name, sum(l_extendedprice * (1 - l_discount)) as revenue,\n"
     "\tc_acctbal, n_name, c_address, c_phone, c_comment\n"
     "from\n\tcustomer, orders, lineitem, nation\nwhere\n\tl_returnflag = 'R'\n"
     "group by\n\tc_custkey, c_name, c_acctbal, c_phone, n_name, c_address, c_comment\n"
     "order by\n\trevenue desc\nlimit 20;",
     "c_custkey|c_name|revenue|c_acctbal|n_name|c_address|c_phone|c_comment", 20, 1250, q10Row},
    {"select\n\tps_partkey, sum(ps_supplycost * ps_availqty) as value\n"
     "from\n\tpartsupp, supplier, nation\nwhere\n\tn_name = 'GERMANY'\n"
     "group by\n\tps_partkey having\n\t\tsum(ps_supplycost * ps_availqty) > 7900000.00\n"
     "order by\n\tvalue desc;",
     "ps_partkey|value", 1048, 140, q11Row},
    {"select\n\tl_shipmode, sum(case when o_orderpriority in ('1-URGENT', '2-HIGH')\n"
     "\t\tthen 1 else 0 end) as high_line_count,\n"
     "\tsum(case when o_orderpriority not in ('1-URGENT', '2-HIGH')\n"
     "\t\tthen 1 else 0 end) as low_line_count\nfrom\n\torders, lineitem\n"
     "where\n\tl_shipmode in ('FOB', 'MAIL')\ngroup by\n\tl_shipmode\norder by\n\tl_shipmode;",
     "l_shipmode|high_line_count|low_line_count", 2, 680, q12Row},
    {"select\n\tc_count, count(*) as custdist\nfrom\n\tc_orders\n"
     "group by\n\tc_count\norder by\n\tcustdist desc, c_count desc;",
     "c_count|custdist", 42, 1720, q13Row},
    {"select\n\t100.00 * sum(case when p_type like 'PROMO%'\n"
     "\t\tthen l_extendedprice * (1 - l_discount) else 0 end)\n"
     "\t\t/ sum(l_extendedprice * (1 - l_discount)) as promo_revenue\n"
     "from\n\tlineitem, part\nwhere\n\tl_partkey = p_partkey\n"
     "\tand l_shipdate >= date '1993-04-01';",
     "promo_revenue", 1, 700, q14Row},
    {"select\n\ts_suppkey, s_name, s_address, s_phone, total_revenue\n"
     "from\n\tsupplier, revenue0\nwhere\n\ts_suppkey = supplier_no\n"
     "\tand total_revenue = (select max(total_revenue) from revenue0)\n"
     "order by\n\ts_suppkey;",
     "s_suppkey|s_name|s_address|s_phone|total_revenue", 1, 1110, q15Row},
    {"select\n\tp_brand, p_type, p_size, count(distinct ps_suppkey) as supplier_cnt\n"
     "from\n\tpartsupp, part\nwhere\n\tp_partkey = ps_partkey\n\tand p_brand <> 'Brand#21'\n"
     "\tand p_size in (49, 14, 23, 45, 19, 3, 36, 9)\n"
     "group by\n\tp_brand, p_type, p_size\n"
     "order by\n\tsupplier_cnt desc, p_brand, p_type, p_size;",
     "p_brand|p_type|p_size|supplier_cnt", 18314, 440, q16Row},
    {"select\n\tsum(l_extendedprice) / 7.0 as avg_yearly\nfrom\n\tlineitem, part\n"
     "where\n\tp_partkey = l_partkey\n\tand p_brand = 'Brand#23'\n"
     "\tand l_quantity < (select 0.2 * avg(l_quantity) from lineitem\n"
     "\t\twhere l_partkey = p_partkey);",
     "avg_yearly", 1, 1000, q17Row},
    {"select\n\tc_name, c_custkey, o_orderkey, o_orderdate, o_totalprice, sum(l_quantity)\n"
     "from\n\tcustomer, orders, lineitem\nwhere\n\to_orderkey in (select l_orderkey\n"
     "\t\tfrom lineitem group by l_orderkey having sum(l_quantity) > 300)\n"
     "group by\n\tc_name, c_custkey, o_orderkey, o_orderdate, o_totalprice\n"
     "order by\n\to_totalprice desc, o_orderdate\nlimit 100;",
     "c_name|c_custkey|o_orderkey|o_orderdate|o_totalprice|sum", 57, 6720, q18Row},
    {"select\n\tsum(l_extendedprice * (1 - l_discount)) as revenue\nfrom\n\tlineitem, part\n"
     "where\n\tp_partkey = l_partkey\n\tand p_brand = 'Brand#12'\n"
     "\tand l_shipmode in ('AIR', 'AIR REG');",
     "revenue", 1, 330, singleRevenue},
    {"select\n\ts_name, s_address\nfrom\n\tsupplier, nation\n"
     "where\n\ts_suppkey in (select ps_suppkey from partsupp\n"
     "\t\twhere ps_partkey in (select p_partkey from part where p_name like 'forest%'))\n"
     "\tand n_name = 'CANADA'\norder by\n\ts_name;",
     "s_name|s_address", 186, 370, q20Row},
    {"select\n\ts_name, count(*) as numwait\nfrom\n\tsupplier, lineitem l1, orders, nation\n"
     "where\n\to_orderstatus = 'F'\n\tand n_name = 'SAUDI ARABIA'\n"
     "group by\n\ts_name\norder by\n\tnumwait desc, s_name\nlimit 100;",
     "s_name|numwait", 100, 940, q21Row},
    {"select\n\tcntrycode, count(*) as numcust, sum(c_acctbal) as totacctbal\n"
     "from\n\tcustsale\ngroup by\n\tcntrycode\norder by\n\tcntrycode;",
     "cntrycode|numcust|totacctbal", 7, 200, q22Row},
}};

// ---- the log ----

// The order in which stream 0 runs the queries; further streams run a
// shuffled order of their own.
constexpr std::array<int, kQueries> kStreamZeroOrder = {14, 2,  9, 20, 6,  17, 18, 8,  21, 13, 3,
                                                        22, 16, 4, 11, 15, 1,  10, 19, 5,  7,  12};

std::array<int, kQueries> streamOrder(int stream) {
  std::array<int, kQueries> order = kStreamZeroOrder;
  Random shuffle(static_cast<uint64_t>(stream));
  for (int i = kQueries - 1; stream > 0 && i > 0; --i)
    std::swap(order[i], order[shuffle.below(static_cast<uint64_t>(i) + 1)]);
  return order;
}

// Simulated wall clock, in microseconds since the epoch.
constexpr uint64_t kStartMicros = 1710147600ULL * 1000000;  // 2024-03-11 09:00:00

void appendTimestamp(std::string& out, uint64_t micros) {
  uint64_t seconds = micros / 1000000;
  appendDate(out, static_cast<int64_t>(seconds / 86400));
  out += ' ';
  appendZeroPadded(out, seconds % 86400 / 3600, 2);
  out += ':';
  appendZeroPadded(out, seconds % 3600 / 60, 2);
  out += ':';
  appendZeroPadded(out, seconds % 60, 2);
}

struct Options {
  std::array<uint64_t, kQueries> rows{};
  int streams = 1;
  const char* path = nullptr;
};

// One query's section; returns how long the query "ran", in microseconds.
uint64_t writeQuery(Output& out, Random& rng, int query, int stream, int position, uint64_t rows,
                    uint64_t now) {
  const Query& q = kQueryTable[query - 1];
  std::string& t = out.text;
  t += "-- TPC-H Query ";
  appendInt(t, query);
  t += " (stream ";
  appendInt(t, stream);
  t += ", position ";
  appendInt(t, position);
  t += "/22) started ";
  appendTimestamp(t, now);
  out.endLine();
  out.line(q.sql);
  out.line(q.heading);
  t.append(std::strlen(q.heading), '=');
  out.endLine();
  for (uint64_t i = 0; i < rows; ++i) {
    q.row(t, rng, i, rows);
    out.endLine();
  }
  t += '(';
  appendInt(t, rows);
  out.line(rows == 1 ? " row)" : " rows)");
  uint64_t micros = q.milliseconds * rng.between(900, 1100) + rows * 25;
  t += "Time: ";
  appendDecimal(t, micros, 3);
  out.line(" ms");
  out.endLine();
  return micros;
}

void writeLog(Output& out, const Options& options) {
  Random rng(20240311);
  out.text += "-- TPC-H query-stream log, ";
  appendInt(out.text, static_cast<uint64_t>(options.streams));
  out.line(options.streams == 1
               ? " stream, scale factor 1: synthetic results from make_stream_log"
               : " streams, scale factor 1: synthetic results from make_stream_log");
  out.endLine();
  uint64_t now = kStartMicros;
  for (int stream = 0; stream < options.streams; ++stream) {
    uint64_t start = now;
    std::array<int, kQueries> order = streamOrder(stream);
    for (int position = 1; position <= kQueries; ++position) {
      int query = order[position - 1];
      now += writeQuery(out, rng, query, stream, position, options.rows[query - 1], now);
    }
    out.text += "-- stream ";
    appendInt(out.text, static_cast<uint64_t>(stream));
    out.text += " finished ";
    appendTimestamp(out.text, now);
    out.text += ", total ";
    appendDecimal(out.text, (now - start) / 100000, 1);
    out.line(" s");
  }
}

// ---- command line ----

[[noreturn]] void usage(const std::string& problem) {
  std::fprintf(stderr,
               "%s: %s\nusage: %s [--rows QUERY=COUNT]... [--streams K] OUTPUT\n"
               "  --rows QUERY=COUNT  rows in the result of query QUERY (1-22) in every stream\n"
               "  --streams K         number of query streams in the log (default 1)\n",
               kProgram, problem.c_str(), kProgram);
  std::exit(1);
}

bool parseNumber(std::string_view text, uint64_t& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

void parseRows(std::string_view arg, Options& options) {
  size_t equals = arg.find('=');
  uint64_t query = 0, rows = 0;
  if (equals == std::string_view::npos || !parseNumber(arg.substr(0, equals), query) ||
      !parseNumber(arg.substr(equals + 1), rows) || query < 1 || query > kQueries ||
      rows > 100000000000ULL)
    usage("bad --rows value '" + std::string(arg) + "'");
  options.rows[query - 1] = rows;
}

Options parseOptions(int argc, char** argv) {
  Options options;
  for (int q = 0; q < kQueries; ++q)
    options.rows[q] = kQueryTable[q].rows;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    uint64_t streams = 0;
    if ((arg == "--rows" || arg == "--streams") && i + 1 == argc) {
      usage(std::string(arg) + " needs a value");
    } else if (arg == "--rows") {
      parseRows(argv[++i], options);
    } else if (arg == "--streams") {
      if (!parseNumber(argv[++i], streams) || streams < 1 || streams > 1000)
        usage("bad --streams value '" + std::string(argv[i]) + "'");
      options.streams = static_cast<int>(streams);
    } else if (options.path == nullptr && !(arg.size() > 1 && arg[0] == '-')) {
      options.path = argv[i];
    } else {
      usage("unexpected argument '" + std::string(arg) + "'");
    }
  }
  if (options.path == nullptr)
    usage("no output file given");
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  Options options = parseOptions(argc, argv);
  Output out(options.path);
  writeLog(out, options);
  out.close();
  return 0;
}
