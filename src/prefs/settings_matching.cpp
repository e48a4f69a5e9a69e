// Choosing the settings sets that apply to an application and a device, and the driver block.
#include "prefs/settings_matching.h"

#include <cstring>

#include "prefs/command_table.h"
#include "prefs/settings_records.h"

namespace quillon {

namespace {

constexpr const char* kAppFields[] = {"bundleID", "bundleName", "execName", "signature"};

// A string value that is present and not empty; nullptr otherwise.
const std::string* setString(const Dictionary* d, std::string_view key) {
    if (!d) return nullptr;
    const std::string* s = d->get(key).ifString();
    return s && !s->empty() ? s : nullptr;
}

std::uint8_t lowByte(std::int64_t v) {
    return static_cast<std::uint8_t>(static_cast<std::uint64_t>(v) & 0xFF);
}
std::uint16_t lowWord(std::int64_t v) {
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(v) & 0xFFFF);
}

// The integer a slot reads: the low bits of the key's value, or a constant.
std::int64_t slotValue(const SlotSource& source, const Dictionary* action) {
    switch (source.kind) {
        case SlotSource::Kind::Zero:
            return 0;
        case SlotSource::Kind::Constant:
            return source.constant;
        case SlotSource::Kind::Key:
            return action ? action->integer(source.key) : 0;
    }
    return 0;
}

const Dictionary* actionOf(const Dictionary* record, const std::string& key) {
    if (!record) return nullptr;
    const Dictionary* actions = record->get("actions").dictionaryPtr();
    return actions ? actions->get(key).dictionaryPtr() : nullptr;
}

}  // namespace

std::int64_t scoreQuillonMouseSettings(const Dictionary& settings, const Dictionary* app,
                                       const Dictionary* device) {
    std::int64_t score = 0;
    const Dictionary* recordApp = settings.get("app").dictionaryPtr();
    for (const char* field : kAppFields) {
        const std::string* mine = setString(recordApp, field);
        if (!mine || !app) continue;
        const std::string* theirs = setString(app, field);
        if (theirs && *theirs == *mine) {
            score += kMatchFieldScore;
        } else {
            score = kMismatchScore;
            break;
        }
    }
    const Dictionary* recordDevice = settings.get("device").dictionaryPtr();
    if (const std::string* type = setString(recordDevice, "type")) {
        const std::string* theirs = setString(device, "type");
        if (theirs && *theirs == *type)
            score += kMatchFieldScore;
        else
            score = kMismatchScore;
    }
    const std::int64_t address = recordDevice ? recordDevice->integer("address") : 0;
    if (address > 0) {
        const std::int64_t theirs = device ? device->integer("address") : 0;
        if (theirs > 0 && theirs == address)
            score += kMatchFieldScore;
        else
            score = kMismatchScore;
    }
    return score;
}

DictRef matchQuillonMouseSettings(const Dictionary& prefs, const Dictionary* app,
                                  const Dictionary* device) {
    const Dictionary* table = prefs.get("settings").dictionaryPtr();
    if (!table) return nullptr;
    std::int64_t bestGlobal = -1;
    std::int64_t best = 0;
    const std::string* globalKey = nullptr;
    const std::string* appKey = nullptr;
    ArrayRef matches = Array::create();
    for (const auto& [uid, value] : *table) {
        const Dictionary* record = value.dictionaryPtr();
        if (!record) continue;
        const std::int64_t score = scoreQuillonMouseSettings(*record, app, device);
        if (score > bestGlobal && !hasApplicationField(*record)) {
            globalKey = &uid;
            bestGlobal = score;
        }
        if (score > best) {
            appKey = &uid;
            best = score;
        }
        if (score >= 0) matches->append(Value(uid));
    }
    if (!globalKey && !appKey) return nullptr;
    DictRef result = Dictionary::create(3);
    if (appKey) result->set("appKey", Value(*appKey));
    if (globalKey) result->set("globalKey", Value(*globalKey));
    if (!matches->empty()) result->set("matches", Value(matches));
    return result;
}

std::optional<std::string> findQuillonMouseSettings(const Dictionary& settingsTable,
                                                    const Dictionary& probe) {
    struct Field {
        const char* sub;
        const char* key;
    };
    constexpr Field kFields[] = {{"device", "type"}, {"app", "execName"}, {"app", "bundleID"}};
    const auto field = [](const Dictionary& record, const Field& f) -> std::string_view {
        const Dictionary* sub = record.get(f.sub).dictionaryPtr();
        return sub ? std::string_view(sub->string(f.key)) : std::string_view();
    };
    for (const auto& [uid, value] : settingsTable) {
        const Dictionary* record = value.dictionaryPtr();
        if (!record) continue;
        bool same = true;
        for (const Field& f : kFields) same = same && field(*record, f) == field(probe, f);
        if (same) return uid;
    }
    return std::nullopt;
}

std::uint16_t driverScale(std::int64_t percent) {
    if (percent < 0) return 10;
    if (percent < 100) return static_cast<std::uint16_t>(10 + (90 * percent) / 100);
    if (percent <= 200) return static_cast<std::uint16_t>(100 + (900 * percent - 90000) / 100);
    return 1000;
}

bool fillQuillonMouseSettings(const Dictionary& prefs, DriverSettingsBlock* block,
                              const Dictionary* match) {
    if (!block || !match) return false;
    const std::string* primaryKey = match->get("appKey").ifString();
    if (!primaryKey) primaryKey = match->get("globalKey").ifString();
    if (!primaryKey) return false;
    const Dictionary* table = prefs.get("settings").dictionaryPtr();
    const auto recordUnder = [table](const std::string& key) -> const Dictionary* {
        return table ? table->get(key).dictionaryPtr() : nullptr;
    };
    const Dictionary* primary = recordUnder(*primaryKey);
    const std::string* globalKey = match->get("globalKey").ifString();
    const Dictionary* global = globalKey ? recordUnder(*globalKey) : nullptr;
    const Dictionary* options = primary ? primary->get("options").dictionaryPtr() : nullptr;
    const auto option = [options](std::string_view key) -> const Value& {
        static const Value absent;
        return options ? options->get(key) : absent;
    };

    std::memset(static_cast<void*>(block), 0, sizeof *block);
    block->settingsNumber.set(static_cast<std::int32_t>(Value(*primaryKey).asInteger()));
    block->enabled = primary && primary->boolean("enabled") ? 1 : 0;
    std::uint16_t axes = 0;
    if (option("doubleX").asBool()) axes |= kAxisDoubleX;
    if (option("doubleY").asBool()) axes |= kAxisDoubleY;
    if (option("invertX").asBool()) axes |= kAxisInvertX;
    if (option("invertY").asBool()) axes |= kAxisInvertY;
    if (option("swapXY").asBool()) axes |= kAxisSwapXY;
    block->axisFlags.set(axes);
    block->scaleUnit.set(kDriverScaleUnit);
    block->speed.set(driverScale(option("speed").asInteger()));
    block->acceleration.set(driverScale(option("acceleration").asInteger()));
    block->speedEnabled = lowByte(option("speedEnabled").asInteger());
    block->accEnabled = lowByte(option("accEnabled").asInteger());
    for (std::size_t i = 0; i < kDriverBlockConstants.size(); ++i)
        block->constants[i].set(kDriverBlockConstants[i]);

    for (int i = 0; i < kDriverActionCount; ++i) {
        const std::string key = actionKey(i);
        const Dictionary* action = actionOf(primary, key);
        std::int64_t code = action ? lowByte(action->integer("command")) : 0;
        const CommandInfo* info = commandInfo(code);
        if (info && info->fromGlobalRecord) {
            action = actionOf(global, key);
            code = action ? lowByte(action->integer("command")) : 0;
            info = commandInfo(code);
        }
        DriverButtonSlot& slot = block->buttons[static_cast<std::size_t>(i)];
        slot.command = static_cast<std::uint8_t>(code);
        // The global record's own "same as global" is not followed further: it writes 2, 0, 0.
        if (info && !info->fromGlobalRecord) {
            slot.parameter = lowByte(slotValue(info->slotByte, action));
            slot.word.set(lowWord(slotValue(info->slotWord, action)));
        }
    }
    return true;
}

}  // namespace quillon
