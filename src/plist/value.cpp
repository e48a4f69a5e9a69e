// Property-list values: lenient readings, equality, dictionary storage and change listeners.
#include "plist/value.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <unordered_set>

namespace quillon {

namespace {

const Value kAbsent;
const std::string kEmptyString;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Leading decimal integer after optional white space and sign; saturates on overflow.
std::int64_t leadingInteger(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : std::uint64_t(INT64_MAX);
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        const unsigned digit = static_cast<unsigned>(s[i] - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (negative) return magnitude == (std::uint64_t{1} << 63) ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    return static_cast<std::int64_t>(magnitude);
}

// Leading decimal number ([sign] digits [. digits] [e [sign] digits]) after optional white space.
// strtod alone would also take hexadecimal, "inf" and "nan", which a record field never means.
double leadingReal(const std::string& s) {
    const auto digit = [&](std::size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '9'; };
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    const std::size_t start = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    bool any = false;
    while (digit(i)) ++i, any = true;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (digit(i)) ++i, any = true;
    }
    if (!any) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (digit(j)) {
            while (digit(j)) ++j;
            i = j;
        }
    }
    return std::strtod(s.substr(start, i - start).c_str(), nullptr);
}

std::int64_t truncateReal(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775807.0) return INT64_MAX;
    if (d <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<std::int64_t>(d);
}

bool realsEqual(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

bool operator==(const Date& a, const Date& b) { return realsEqual(a.seconds, b.seconds); }

Value::Value(ArrayRef a) {
    if (a) v_ = std::move(a);
}

Value::Value(DictRef d) {
    if (d) v_ = std::move(d);
}

DictRef Value::dictionary() const {
    const DictRef* d = std::get_if<DictRef>(&v_);
    return d ? *d : nullptr;
}

ArrayRef Value::array() const {
    const ArrayRef* a = std::get_if<ArrayRef>(&v_);
    return a ? *a : nullptr;
}

Dictionary* Value::dictionaryPtr() const {
    const DictRef* d = std::get_if<DictRef>(&v_);
    return d ? d->get() : nullptr;
}

Array* Value::arrayPtr() const {
    const ArrayRef* a = std::get_if<ArrayRef>(&v_);
    return a ? a->get() : nullptr;
}

std::int64_t Value::asInteger() const {
    switch (type()) {
    case Type::Integer: return std::get<Integer>(v_).value();
    case Type::Real: return truncateReal(std::get<double>(v_));
    case Type::Boolean: return std::get<bool>(v_) ? 1 : 0;
    case Type::String: return leadingInteger(std::get<std::string>(v_));
    default: return 0;
    }
}

bool Value::asBool() const {
    switch (type()) {
    case Type::Boolean: return std::get<bool>(v_);
    case Type::Integer: return std::get<Integer>(v_).bits() != 0;
    case Type::Real: return std::get<double>(v_) != 0.0;
    case Type::String: {
        const std::string& s = std::get<std::string>(v_);
        std::size_t i = 0;
        while (i < s.size() && isSpace(s[i])) ++i;
        if (i == s.size()) return false;
        const char c = s[i];
        return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
    }
    default: return false;
    }
}

double Value::asReal() const {
    switch (type()) {
    case Type::Real: return std::get<double>(v_);
    case Type::Integer: return std::get<Integer>(v_).toDouble();
    case Type::Boolean: return std::get<bool>(v_) ? 1.0 : 0.0;
    case Type::String: return leadingReal(std::get<std::string>(v_));
    default: return 0;
    }
}

const std::string& Value::asString() const {
    const std::string* s = std::get_if<std::string>(&v_);
    return s ? *s : kEmptyString;
}

namespace {

bool equalValues(const Value& a, const Value& b, int depth);

bool equalDicts(const Dictionary& a, const Dictionary& b, int depth) {
    if (&a == &b) return true;
    if (a.size() != b.size()) return false;
    auto ib = b.begin();
    for (const auto& [key, value] : a) {
        if (key != ib->first || !equalValues(value, ib->second, depth + 1)) return false;
        ++ib;
    }
    return true;
}

bool equalArrays(const Array& a, const Array& b, int depth) {
    if (&a == &b) return true;
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!equalValues(a.at(i), b.at(i), depth + 1)) return false;
    return true;
}

bool equalValues(const Value& a, const Value& b, int depth) {
    if (a.type() != b.type()) return false;
    // Distinct containers that hold themselves never compare equal rather than recursing forever.
    if (depth > maxPropertyListDepth) return false;
    switch (a.type()) {
    case Value::Type::Absent: return true;
    case Value::Type::Boolean: return *a.ifBoolean() == *b.ifBoolean();
    case Value::Type::Integer: return *a.ifInteger() == *b.ifInteger();
    case Value::Type::Real: return realsEqual(*a.ifReal(), *b.ifReal());
    case Value::Type::String: return *a.ifString() == *b.ifString();
    case Value::Type::Date: return *a.ifDate() == *b.ifDate();
    case Value::Type::Data: return *a.ifData() == *b.ifData();
    case Value::Type::Uid: return *a.ifUid() == *b.ifUid();
    case Value::Type::Array: return equalArrays(*a.arrayPtr(), *b.arrayPtr(), depth);
    case Value::Type::Dictionary: return equalDicts(*a.dictionaryPtr(), *b.dictionaryPtr(), depth);
    }
    return false;
}

}  // namespace

bool operator==(const Value& a, const Value& b) { return equalValues(a, b, 0); }

const Value& Array::at(std::size_t i) const { return i < items_.size() ? items_[i] : kAbsent; }

bool Array::set(std::size_t i, Value v) {
    if (i >= items_.size()) return false;
    items_[i] = std::move(v);
    return true;
}

bool Array::insert(std::size_t i, Value v) {
    if (i > items_.size()) return false;
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(i), std::move(v));
    return true;
}

bool Array::removeAt(std::size_t i) {
    if (i >= items_.size()) return false;
    // Release the old value only after the element is gone: its destructor may reach us again.
    Value old = std::move(items_[i]);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
}

struct Dictionary::Listeners {
    ListenerId nextId = 1;
    // Shared so that a listener list being walked survives listeners added or removed meanwhile.
    std::vector<std::pair<ListenerId, std::shared_ptr<Listener>>> entries;
};

namespace {

using Entry = Dictionary::Entry;

constexpr std::size_t roundUp(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}

// The room for entries the next dictionary made on this thread asks for, and where it ended up.
// Passed aside rather than held by the allocator, so the shared block keeps no copy of it.
struct Room {
    std::size_t bytes = 0;
    void* at = nullptr;
};
thread_local Room nextRoom;

// Allocates the shared block of a dictionary with nextRoom after it.
template <typename T>
struct WithRoom {
    using value_type = T;

    WithRoom() = default;
    template <typename U>
    WithRoom(const WithRoom<U>&) {}

    T* allocate(std::size_t n) {
        const std::size_t head = roundUp(n * sizeof(T), alignof(Entry));
        char* block = static_cast<char*>(::operator new(head + nextRoom.bytes));
        nextRoom.at = block + head;
        return reinterpret_cast<T*>(block);
    }
    // The room's size is not kept, so the block is freed unsized.
    void deallocate(T* p, std::size_t) { ::operator delete(p); }
    template <typename U>
    bool operator==(const WithRoom<U>&) const {
        return true;
    }
};

Entry* allocateEntries(std::size_t n) {
    return static_cast<Entry*>(::operator new(n * sizeof(Entry)));
}

// Unsized: not every compiler we build with has sized deallocation on.
void freeEntries(Entry* p) {
    ::operator delete(p);
}

}  // namespace

Dictionary::Dictionary() = default;

Dictionary::~Dictionary() {
    std::destroy_n(data_, size_);
    if (data_ != inline_) freeEntries(data_);
}

DictRef Dictionary::create(std::size_t capacity) {
    if (capacity > std::numeric_limits<std::size_t>::max() / sizeof(Entry) / 2)
        throw std::bad_alloc();
    nextRoom = Room{capacity * sizeof(Entry), nullptr};
    auto d = std::allocate_shared<Dictionary>(WithRoom<Dictionary>());
    if (capacity) {
        d->data_ = d->inline_ = static_cast<Entry*>(nextRoom.at);
        d->capacity_ = capacity;
    }
    return d;
}

DictRef Dictionary::fromEntries(std::vector<Entry> entries) {
    DictionaryBuilder builder(entries.size());
    for (Entry& e : entries)
        builder.add(std::move(e.first), std::move(e.second));
    return builder.finish();
}

void Dictionary::normalise() {
    const auto byKey = [](const Entry& a, const Entry& b) { return a.first < b.first; };
    std::stable_sort(data_, data_ + size_, byKey);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < size_; ++i) {
        if (i + 1 < size_ && data_[i + 1].first == data_[i].first) continue;
        if (data_[i].second.isAbsent()) continue;
        if (kept != i) data_[kept] = std::move(data_[i]);
        ++kept;
    }
    std::destroy(data_ + kept, data_ + size_);
    size_ = kept;
}

void DictionaryBuilder::add(std::string key, Value value) {
    Dictionary& d = *dict_;
    // Files we wrote list keys in order already: checking as they come saves the sort.
    if (ordered_ && (value.isAbsent() || (d.size_ && !(d.data_[d.size_ - 1].first < key))))
        ordered_ = false;
    d.reserveOneMore();
    std::construct_at(d.data_ + d.size_, std::move(key), std::move(value));
    ++d.size_;
}

DictRef DictionaryBuilder::finish() {
    if (!ordered_) dict_->normalise();
    return std::move(dict_);
}

Entry* Dictionary::lowerBound(std::string_view key) const {
    return std::lower_bound(data_, data_ + size_, key,
                            [](const Entry& e, std::string_view k) { return e.first < k; });
}

const Value* Dictionary::find(std::string_view key) const {
    const Entry* it = lowerBound(key);
    return it != end() && it->first == key ? &it->second : nullptr;
}

const Value& Dictionary::get(std::string_view key) const {
    const Value* v = find(key);
    return v ? *v : kAbsent;
}

void Dictionary::reserveOneMore() {
    if (size_ < capacity_) return;
    const std::size_t capacity = std::max<std::size_t>(4, 2 * capacity_);
    Entry* moved = allocateEntries(capacity);
    std::uninitialized_move(data_, data_ + size_, moved);
    std::destroy_n(data_, size_);
    if (data_ != inline_) freeEntries(data_);
    data_ = moved;
    capacity_ = capacity;
}

void Dictionary::set(std::string_view key, Value value) {
    if (value.isAbsent()) {
        remove(key);
        return;
    }
    Entry* it = lowerBound(key);
    if (it != end() && it->first == key) {
        it->second = std::move(value);
    } else {
        // Everything that may throw happens before any entry moves.
        Entry fresh(std::string(key), std::move(value));
        const std::size_t at = static_cast<std::size_t>(it - data_);
        reserveOneMore();
        it = data_ + at;
        if (at == size_) {
            std::construct_at(it, std::move(fresh));
        } else {
            std::construct_at(data_ + size_, std::move(data_[size_ - 1]));
            std::move_backward(it, data_ + size_ - 1, data_ + size_);
            *it = std::move(fresh);
        }
        ++size_;
    }
    if (listeners_) {
        // Copy both: a listener may store into this very dictionary and move the entry.
        const std::string k = it->first;
        const Value v = it->second;
        notify(k, v);
    }
}

void Dictionary::remove(std::string_view key) {
    Entry* it = lowerBound(key);
    if (it != end() && it->first == key) {
        // Release the old value only after the entry is gone: its destructor may reach us again.
        Value old = std::move(it->second);
        std::move(it + 1, data_ + size_, it);
        std::destroy_at(data_ + --size_);
    }
    if (listeners_) notify(std::string(key), kAbsent);
}

void Dictionary::clear() {
    // Emptied before anything is released or told: a destructor or a listener may reach us again.
    std::vector<Entry> old(std::make_move_iterator(begin()), std::make_move_iterator(end()));
    std::destroy_n(data_, size_);
    size_ = 0;
    if (listeners_)
        for (const auto& e : old) notify(e.first, kAbsent);
}

std::vector<std::string> Dictionary::keys() const {
    std::vector<std::string> k;
    k.reserve(size_);
    for (const auto& e : *this)
        k.push_back(e.first);
    return k;
}

Dictionary::ListenerId Dictionary::addListener(Listener listener) {
    if (!listeners_) listeners_ = std::make_unique<Listeners>();
    const ListenerId id = listeners_->nextId++;
    listeners_->entries.emplace_back(id, std::make_shared<Listener>(std::move(listener)));
    return id;
}

void Dictionary::removeListener(ListenerId id) {
    if (!listeners_) return;
    std::erase_if(listeners_->entries, [id](const auto& e) { return e.first == id; });
    // Kept even when empty: a notification may be walking it right now.
}

void Dictionary::notify(const std::string& key, const Value& value) {
    const auto snapshot = listeners_->entries;
    for (const auto& [id, listener] : snapshot) {
        // A listener removed by an earlier one in this round is not called any more.
        const auto& now = listeners_->entries;
        if (std::none_of(now.begin(), now.end(), [id = id](const auto& e) { return e.first == id; })) continue;
        (*listener)(key, value);
    }
}

DictRef makeDictionary(std::initializer_list<std::pair<std::string_view, Value>> entries) {
    std::vector<Dictionary::Entry> e;
    e.reserve(entries.size());
    for (const auto& [k, v] : entries) e.emplace_back(std::string(k), v);
    return Dictionary::fromEntries(std::move(e));
}

ArrayRef makeArray(std::initializer_list<Value> items) { return Array::create(std::vector<Value>(items)); }

namespace {

// Containers on the path from the root; a container met again on its own path holds itself.
using Path = std::unordered_set<const void*>;

// Copies from into *to, or only checks that it could when to is null. depth is the level from's
// container would have; the root container is level 1.
bool copyInto(const Value& from, Value* to, Path& path, int depth) {
    if ((from.dictionaryPtr() || from.arrayPtr()) && depth > maxPropertyListDepth) return false;
    if (const Dictionary* d = from.dictionaryPtr()) {
        if (!path.insert(d).second) return false;
        // The copy's own memory comes before its values', in the order a walk reads them.
        std::optional<DictionaryBuilder> copy;
        if (to) copy.emplace(d->size());
        for (const auto& [key, value] : *d) {
            Value v;
            if (!copyInto(value, to ? &v : nullptr, path, depth + 1)) return false;
            if (copy) copy->add(key, std::move(v));
        }
        path.erase(d);
        if (copy) *to = copy->finish();
        return true;
    }
    if (const Array* a = from.arrayPtr()) {
        if (!path.insert(a).second) return false;
        ArrayRef copy;
        if (to) {
            copy = Array::create();
            copy->reserve(a->size());
        }
        for (const Value& item : *a) {
            Value v;
            if (item.isAbsent() || !copyInto(item, to ? &v : nullptr, path, depth + 1))
                return false;
            if (copy) copy->append(std::move(v));
        }
        path.erase(a);
        if (copy) *to = copy;
        return true;
    }
    if (to) *to = from;
    return true;
}

}  // namespace

Value deepCopyValue(const Value& value) {
    Path path;
    Value copy;
    return copyInto(value, &copy, path, 1) ? copy : Value();
}

DictRef deepCopy(const Dictionary& dict) {
    Path path;
    // The root is borrowed, so walk its entries here instead of wrapping it in a Value.
    path.insert(&dict);
    DictionaryBuilder copy(dict.size());
    for (const auto& [key, value] : dict) {
        Value v;
        if (!copyInto(value, &v, path, 2)) return nullptr;
        copy.add(key, std::move(v));
    }
    return copy.finish();
}

bool isPropertyList(const Value& value) {
    Path path;
    return value.isPresent() && copyInto(value, nullptr, path, 1);
}

}  // namespace quillon
