// Property-list values: shared dictionaries and arrays, plain leaves, and an explicit absent state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quillon {

class Dictionary;
class Array;
using DictRef = std::shared_ptr<Dictionary>;
using ArrayRef = std::shared_ptr<Array>;

// An integer of the property-list formats: any int64_t, or an unsigned value above INT64_MAX
// (the binary format stores those as 16-byte integers).
class Integer {
public:
    constexpr Integer() = default;
    constexpr Integer(std::int64_t v) : bits_(static_cast<std::uint64_t>(v)) {}
    static constexpr Integer fromUnsigned(std::uint64_t v) {
        Integer i;
        i.bits_ = v;
        i.unsigned_ = v > static_cast<std::uint64_t>(INT64_MAX);
        return i;
    }
    // True only for values above INT64_MAX.
    constexpr bool isBigUnsigned() const { return unsigned_; }
    constexpr bool isNegative() const { return !unsigned_ && static_cast<std::int64_t>(bits_) < 0; }
    // The value as int64_t; values above INT64_MAX saturate.
    constexpr std::int64_t value() const {
        return unsigned_ ? INT64_MAX : static_cast<std::int64_t>(bits_);
    }
    // The two's-complement bits, as the binary format stores them.
    constexpr std::uint64_t bits() const { return bits_; }
    double toDouble() const {
        return unsigned_ ? static_cast<double>(bits_) : static_cast<double>(value());
    }
    friend constexpr bool operator==(Integer a, Integer b) {
        return a.bits_ == b.bits_ && a.unsigned_ == b.unsigned_;
    }

private:
    std::uint64_t bits_ = 0;
    bool unsigned_ = false;
};

// A point in time as seconds since 2001-01-01 00:00:00 UTC, the property-list epoch.
struct Date {
    double seconds = 0;
    friend bool operator==(const Date& a, const Date& b);
};

// A keyed-archive object reference; only the binary format can hold it.
struct Uid {
    std::uint64_t value = 0;
    friend constexpr bool operator==(Uid a, Uid b) { return a.value == b.value; }
};

// Raw bytes.
struct Data : std::vector<std::uint8_t> {
    using std::vector<std::uint8_t>::vector;
};

enum class ValueType { Absent, Boolean, Integer, Real, String, Date, Data, Uid, Array, Dictionary };

// One property-list value. Containers are held by reference, everything else by value.
class Value {
public:
    using Type = ValueType;

    Value() = default;
    Value(bool b) : v_(b) {}
    Value(int i) : v_(Integer(i)) {}
    Value(long i) : v_(Integer(static_cast<std::int64_t>(i))) {}
    Value(long long i) : v_(Integer(static_cast<std::int64_t>(i))) {}
    Value(unsigned u) : v_(Integer(static_cast<std::int64_t>(u))) {}
    Value(unsigned long u) : v_(Integer::fromUnsigned(u)) {}
    Value(unsigned long long u) : v_(Integer::fromUnsigned(u)) {}
    Value(Integer i) : v_(i) {}
    Value(double d) : v_(d) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(std::string_view s) : v_(std::string(s)) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(Date d) : v_(d) {}
    Value(Data d) : v_(std::move(d)) {}
    Value(Uid u) : v_(u) {}
    Value(ArrayRef a);
    Value(DictRef d);

    Type type() const { return static_cast<Type>(v_.index()); }
    bool isAbsent() const { return type() == Type::Absent; }
    bool isPresent() const { return !isAbsent(); }
    bool isNumber() const { return type() == Type::Integer || type() == Type::Real; }

    // Typed access; each returns nullptr when the value holds another type.
    const bool* ifBoolean() const { return std::get_if<bool>(&v_); }
    const Integer* ifInteger() const { return std::get_if<Integer>(&v_); }
    const double* ifReal() const { return std::get_if<double>(&v_); }
    const std::string* ifString() const { return std::get_if<std::string>(&v_); }
    const Date* ifDate() const { return std::get_if<Date>(&v_); }
    const Data* ifData() const { return std::get_if<Data>(&v_); }
    const Uid* ifUid() const { return std::get_if<Uid>(&v_); }

    // The container, or nullptr.
    DictRef dictionary() const;
    ArrayRef array() const;
    // The container without taking a reference, or nullptr.
    Dictionary* dictionaryPtr() const;
    Array* arrayPtr() const;

    // Lenient readings used everywhere a record field is read. Absent reads as "", 0 or false.
    // Integer: a number gives its value (a real truncated, saturating), a boolean 1 or 0, a
    // string its leading decimal integer after optional white space and sign, anything else 0.
    std::int64_t asInteger() const;
    // Boolean: a boolean as it is, a number non-zero, a string starting (after white space)
    // with Y, y, T, t or 1 to 9, anything else false.
    bool asBool() const;
    // Real: a number as it is, a boolean 1 or 0, a string its leading decimal number, else 0.
    double asReal() const;
    // String: a string as it is, anything else "".
    const std::string& asString() const;

    // Deep equality: containers compare by content, reals treat two NaNs as equal.
    friend bool operator==(const Value& a, const Value& b);

private:
    std::variant<std::monostate, bool, Integer, double, std::string, Date, Data, Uid, ArrayRef,
                 DictRef>
        v_;
};

// An ordered sequence of values, shared by reference.
class Array {
public:
    Array() = default;
    explicit Array(std::vector<Value> items) : items_(std::move(items)) {}
    static ArrayRef create(std::vector<Value> items = {}) {
        return std::make_shared<Array>(std::move(items));
    }

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    // The element at i, or absent when i is out of range.
    const Value& at(std::size_t i) const;
    // The index operations do nothing and return false for an index out of range (insert takes
    // i == size() as append).
    bool set(std::size_t i, Value v);
    void append(Value v) { items_.push_back(std::move(v)); }
    bool insert(std::size_t i, Value v);
    bool removeAt(std::size_t i);
    void clear() { items_.clear(); }
    void reserve(std::size_t n) { items_.reserve(n); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    const std::vector<Value>& items() const { return items_; }

private:
    std::vector<Value> items_;
};

// A string-keyed map, shared by reference, whose keys iterate in ascending order of their code
// units. Stores and removals are reported to listeners synchronously, also for unchanged values.
//
// A dictionary made by create() or fromEntries() keeps its entries in the same allocation as
// itself while they fit in the capacity it was made with, so that reading one costs one trip to
// memory, not two; a walk over a large tree is bound by those trips.
class Dictionary : public std::enable_shared_from_this<Dictionary> {
public:
    using Entry = std::pair<std::string, Value>;
    // Called with the key and the new value (absent after a removal).
    using Listener = std::function<void(const std::string& key, const Value& newValue)>;
    using ListenerId = std::uint64_t;

    // A dictionary with no room of its own; create() gives one with room.
    Dictionary();
    ~Dictionary();
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;

    static DictRef create(std::size_t capacity = 0);
    // Builds a dictionary from entries in any order; a later duplicate key replaces an earlier.
    static DictRef fromEntries(std::vector<Entry> entries);

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // The value under key, or absent.
    const Value& get(std::string_view key) const;
    const Value& operator[](std::string_view key) const { return get(key); }

    // Convenience readings of get(key) under the lenient rules of Value.
    std::int64_t integer(std::string_view key) const { return get(key).asInteger(); }
    bool boolean(std::string_view key) const { return get(key).asBool(); }
    double real(std::string_view key) const { return get(key).asReal(); }
    const std::string& string(std::string_view key) const { return get(key).asString(); }
    DictRef dictionary(std::string_view key) const { return get(key).dictionary(); }
    ArrayRef array(std::string_view key) const { return get(key).array(); }

    // Stores value under key; storing absent removes the key.
    void set(std::string_view key, Value value);
    void remove(std::string_view key);
    void clear();

    const Entry* begin() const { return data_; }
    const Entry* end() const { return data_ + size_; }
    std::span<const Entry> entries() const { return {data_, size_}; }
    std::vector<std::string> keys() const;

    // This dictionary's owning reference, or nullptr when it is not held by a shared_ptr.
    std::shared_ptr<const Dictionary> sharedReference() const { return weak_from_this().lock(); }

    ListenerId addListener(Listener listener);
    void removeListener(ListenerId id);

private:
    friend class DictionaryBuilder;

    const Value* find(std::string_view key) const;
    // The first entry whose key is not less than key.
    Entry* lowerBound(std::string_view key) const;
    // Makes room for one more entry, moving the entries to a larger block when full.
    void reserveOneMore();
    void notify(const std::string& key, const Value& value);
    // Sorts entries added in any order by key, keeping the last of equal keys and dropping
    // absent values.
    void normalise();

    struct Listeners;
    Entry* data_ = nullptr;  // sorted by key
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    Entry* inline_ = nullptr;  // the room allocated with the dictionary, if any
    std::unique_ptr<Listeners> listeners_;
};

// Builds a dictionary entry by entry. The dictionary and the room for its entries are allocated
// first, before anything its values hold, so that a reader that adds each value as it parses it
// lays the tree out in memory in the order a later walk reads it. Entries may come in any order;
// as with fromEntries, a later duplicate key replaces an earlier and absent values are left out.
class DictionaryBuilder {
public:
    explicit DictionaryBuilder(std::size_t capacity) : dict_(Dictionary::create(capacity)) {}
    void add(std::string key, Value value);
    // The dictionary; the builder is spent.
    DictRef finish();

private:
    DictRef dict_;
    bool ordered_ = true;
};

// A dictionary holding the given entries, for literals in code and tests.
DictRef makeDictionary(std::initializer_list<std::pair<std::string_view, Value>> entries);
// An array holding the given values.
ArrayRef makeArray(std::initializer_list<Value> items);

// Shares no container with the source. Fails (returns nothing) when the value cannot be written
// as a property list: a container that holds itself, or an absent element in an array.
DictRef deepCopy(const Dictionary& dict);
Value deepCopyValue(const Value& value);

// True when value can be written as a property list (no container holds itself, no absent
// element in an array, nesting within maxPropertyListDepth).
bool isPropertyList(const Value& value);

// Deepest nesting of containers that readers accept and writers produce.
inline constexpr int maxPropertyListDepth = 512;

}  // namespace quillon
