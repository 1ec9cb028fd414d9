#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace statlume::platform {

/// Receives a message for the user (stderr in the console, a message box in the window).
using TReportFunc = std::function<void(const std::string& message)>;

/// Orders names ignoring ASCII case, as registry keys and value names compare.
struct TNoCaseLess
{
    bool operator()(std::string_view a, std::string_view b) const
    {
        const auto fold = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            const char x = fold(a[i]);
            const char y = fold(b[i]);
            if (x != y) {
                return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
            }
        }
        return a.size() < b.size();
    }
    using is_transparent = void;
};

/// A stored value: a 32-bit integer (dword), a text (UTF-8) or binary bytes.
using TRegistryValue = std::variant<std::int32_t, std::string, std::vector<std::uint8_t>>;

/// The values of one key by name.
using TRegistryValues = std::map<std::string, TRegistryValue, TNoCaseLess>;

/// Every key by its full path below HKEY_CURRENT_USER ("Software\\Quorvale\\Statlume").
/// Parents are implied by their subkeys and stored only when created on their own, so a
/// deep key costs its path once, not once per level.
using TRegistryTree = std::map<std::string, TRegistryValues, TNoCaseLess>;

/// Longest key name (one path component), in characters.
inline constexpr std::size_t MaxKeyNameLength = 255;
/// Most levels a key path may have.
inline constexpr std::size_t MaxKeyDepth = 512;
/// Longest value name, in characters.
inline constexpr std::size_t MaxValueNameLength = 16383;

/// Characters of UTF-8 text (bytes that do not continue a sequence).
inline std::size_t CharacterCount(std::string_view text)
{
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

/// A normalized path fits the registry's bounds: 1..MaxKeyDepth names, each of
/// 1..MaxKeyNameLength characters, no control characters.
inline bool IsValidKeyPath(std::string_view path)
{
    if (path.empty()) {
        return false;
    }
    std::size_t depth = 0;
    while (true) {
        const std::size_t end = path.find('\\');
        const std::string_view name = path.substr(0, end);
        if (name.empty() || ++depth > MaxKeyDepth || CharacterCount(name) > MaxKeyNameLength ||
            std::any_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; })) {
            return false;
        }
        if (end == std::string_view::npos) {
            return true;
        }
        path.remove_prefix(end + 1);
    }
}

/// A value name fits the registry's bounds (at most MaxValueNameLength characters).
inline bool IsValidValueName(std::string_view name)
{
    return name.size() <= MaxValueNameLength || CharacterCount(name) <= MaxValueNameLength;
}

/// The path names key itself or a key below it (ASCII case ignored).
inline bool IsSameOrBelow(std::string_view path, std::string_view key)
{
    if (path.size() < key.size() || TNoCaseLess{}(path.substr(0, key.size()), key) ||
        TNoCaseLess{}(key, path.substr(0, key.size()))) {
        return false;
    }
    return path.size() == key.size() || path[key.size()] == '\\';
}

/// The first stored key at or below key, in tree order; end() when there is none. Keys
/// sharing a prefix are neighbours in the tree's order, so this is one look-up.
inline TRegistryTree::const_iterator FirstAtOrBelow(const TRegistryTree& tree, std::string_view key)
{
    const auto it = tree.lower_bound(key);
    if (it != tree.end() && IsSameOrBelow(it->first, key)) {
        return it;
    }
    const auto below = tree.lower_bound(std::string(key) + "\\");
    return below != tree.end() && IsSameOrBelow(below->first, key) ? below : tree.end();
}

/// The key exists: stored itself, or implied by a stored subkey.
inline bool KeyExists(const TRegistryTree& tree, std::string_view key)
{
    return !key.empty() && FirstAtOrBelow(tree, key) != tree.end();
}

/// The one error of the registry object: a value of another type than the one read
/// ("Invalid data type for '%s'") or a write that failed ("Failed to set data for '%s'").
class TRegistryError : public std::runtime_error
{
public:
    /// An error whose text is message, about the value named valueName.
    TRegistryError(std::string message, std::string valueName)
        : std::runtime_error(std::move(message))
        , ValueName(std::move(valueName))
    {
    }
    /// The value the failing operation named.
    std::string ValueName;
};

/// The registry object the program uses: one key opened at a time, typed values in it.
/// Backends provide the tree and apply changes; the typed operations are shared.
class TRegistry
{
public:
    virtual ~TRegistry() = default;

    /// Makes path the key in use; creates it when canCreate is set (its parents are implied).
    /// False when the key is missing and may not be created, cannot be written, or the path
    /// breaks the bounds of IsValidKeyPath.
    bool OpenKey(std::string_view path, bool canCreate)
    {
        const std::string key = NormalizePath(path);
        if (!IsValidKeyPath(key)) {
            return false;
        }
        if (!KeyExists(View(), key)) {
            if (!canCreate) {
                return false;
            }
            try {
                Change([&key](TRegistryTree& tree) { AddKey(tree, key); });
            } catch (const std::exception&) {
                return false;
            }
        }
        CurrentKey = key;
        return true;
    }

    /// Leaves the key in use; value operations then act on nothing.
    void CloseKey() { CurrentKey.clear(); }
    /// The values were taken over from a damaged file in this run: a value missing now may
    /// have been lost on its line rather than never stored.
    virtual bool Salvaged() const { return false; }
    /// The path of the key in use; empty when none is open.
    const std::string& CurrentPath() const { return CurrentKey; }

    /// The key in use holds a value of that name (of any type).
    bool ValueExists(std::string_view name) { return Find(name) != nullptr; }

    /// The integer value; nullopt when missing; throws TRegistryError for another type.
    std::optional<std::int32_t> ReadInteger(std::string_view name)
    {
        return ReadAs<std::int32_t>(name);
    }
    /// The boolean value (any non-zero integer is true); nullopt when missing.
    std::optional<bool> ReadBool(std::string_view name)
    {
        const auto value = ReadInteger(name);
        return value ? std::optional<bool>(*value != 0) : std::nullopt;
    }
    /// The text value; nullopt when missing; throws TRegistryError for another type.
    std::optional<std::string> ReadString(std::string_view name)
    {
        return ReadAs<std::string>(name);
    }
    /// The binary value; nullopt when missing; throws TRegistryError for another type.
    std::optional<std::vector<std::uint8_t>> ReadBinary(std::string_view name)
    {
        return ReadAs<std::vector<std::uint8_t>>(name);
    }

    /// Stores an integer; throws TRegistryError ("Failed to set data for '<name>' (<why>)")
    /// when the write fails.
    void WriteInteger(std::string_view name, std::int32_t value) { Write(name, value); }
    /// Stores a boolean as the integer 0 or 1.
    void WriteBool(std::string_view name, bool value) { Write(name, std::int32_t{value ? 1 : 0}); }
    /// Stores a text.
    void WriteString(std::string_view name, std::string_view value)
    {
        Write(name, std::string(value));
    }
    /// Stores binary bytes.
    void WriteBinary(std::string_view name, std::vector<std::uint8_t> value)
    {
        Write(name, std::move(value));
    }

    /// Removes a value of the key in use; false when it did not exist.
    bool DeleteValue(std::string_view name)
    {
        if (!ValueExists(name)) {
            return false;
        }
        const std::string key = CurrentKey;
        const std::string valueName(name);
        Change([&](TRegistryTree& tree) {
            if (auto it = tree.find(key); it != tree.end()) {
                it->second.erase(valueName);
            }
        });
        return true;
    }

    /// Removes the key at path with all its subkeys; false when it did not exist.
    bool DeleteKey(std::string_view path)
    {
        const std::string key = NormalizePath(path);
        if (!IsValidKeyPath(key) || !KeyExists(View(), key)) {
            return false;
        }
        Change([&key](TRegistryTree& tree) { EraseKeyWithSubkeys(tree, key); });
        if (IsSameOrBelow(CurrentKey, key)) {
            CurrentKey.clear();
        }
        return true;
    }

    /// Names of the values of the key in use, in name order.
    std::vector<std::string> ValueNames()
    {
        std::vector<std::string> names;
        if (auto it = View().find(CurrentKey); !CurrentKey.empty() && it != View().end()) {
            for (const auto& [name, value] : it->second) {
                names.push_back(name);
            }
        }
        return names;
    }

    /// Names of the direct subkeys of the key in use (stored or implied), in name order.
    std::vector<std::string> SubkeyNames()
    {
        // An implied subkey's name comes from its first stored descendant; a name such as
        // "b.c" sorts between "b" and "b\\x", so the names are gathered, then ordered.
        std::set<std::string, TNoCaseLess> names;
        if (!CurrentKey.empty()) {
            const TRegistryTree& tree = View();
            for (auto it = tree.lower_bound(CurrentKey + "\\"); it != tree.end(); ++it) {
                if (!IsSameOrBelow(it->first, CurrentKey)) {
                    break;
                }
                const std::string_view rest =
                    std::string_view(it->first).substr(CurrentKey.size() + 1);
                names.emplace(rest.substr(0, rest.find('\\')));
            }
        }
        return {names.begin(), names.end()};
    }

    /// Runs body as one transaction: every change it makes is applied together when it
    /// returns (for a file: one lock, one re-read before body runs, one replacement), and
    /// reads inside body see the stored state as of that re-read. Nothing is stored when it
    /// fails; throws TRegistryError then, naming the values body wrote and the reason. An exception
    /// from body abandons the transaction and passes through. Nested calls join the outer one.
    void Batch(const std::function<void()>& body)
    {
        if (Working != nullptr) {
            body();
            return;
        }
        std::vector<std::string> written;
        bool bodyFailed = false;
        try {
            Update([&](TRegistryTree& tree) {
                TBatchScope scope(*this, tree, written);
                try {
                    body();
                } catch (...) {
                    bodyFailed = true;
                    throw;
                }
            });
        } catch (const TRegistryError&) {
            throw;
        } catch (const std::exception& error) {
            if (bodyFailed) {
                throw;
            }
            throw BatchError(written, error.what());
        }
    }

    /// A path with its backslash runs collapsed and no leading or trailing backslash.
    static std::string NormalizePath(std::string_view path)
    {
        std::string out;
        for (const char c : path) {
            if (c == '\\' && (out.empty() || out.back() == '\\')) {
                continue;
            }
            out.push_back(c);
        }
        if (!out.empty() && out.back() == '\\') {
            out.pop_back();
        }
        return out;
    }

    /// Stores key (when missing) and returns it; an empty parent stored only to keep it
    /// existing is implied by key from now on and dropped.
    static TRegistryTree::iterator AddKey(TRegistryTree& tree, const std::string& key)
    {
        const auto [it, added] = tree.try_emplace(key);
        if (const std::size_t slash = key.rfind('\\'); added && slash != std::string::npos) {
            if (const auto parent = tree.find(std::string_view(key).substr(0, slash));
                parent != tree.end() && parent->second.empty()) {
                tree.erase(parent);
            }
        }
        return it;
    }

    /// Removes key and every key below it; a parent left implied only is kept as a key.
    static void EraseKeyWithSubkeys(TRegistryTree& tree, const std::string& key)
    {
        std::erase_if(tree, [&key](const auto& entry) { return IsSameOrBelow(entry.first, key); });
        if (const std::size_t slash = key.rfind('\\'); slash != std::string::npos) {
            tree.try_emplace(key.substr(0, slash));
        }
    }

protected:
    /// The current tree of keys and values (a cached copy for file backends).
    virtual const TRegistryTree& Snapshot() = 0;
    /// Applies change to the stored tree; throws std::exception when it cannot be stored.
    virtual void Update(const std::function<void(TRegistryTree&)>& change) = 0;

private:
    // Points the typed operations at the batch's tree for the life of the batch.
    class TBatchScope
    {
    public:
        TBatchScope(TRegistry& owner, TRegistryTree& tree, std::vector<std::string>& written)
            : Owner(owner)
        {
            Owner.Working = &tree;
            Owner.Written = &written;
        }
        ~TBatchScope()
        {
            Owner.Working = nullptr;
            Owner.Written = nullptr;
        }
        TBatchScope(const TBatchScope&) = delete;
        TBatchScope& operator=(const TBatchScope&) = delete;

    private:
        TRegistry& Owner;
    };

    static TRegistryError BatchError(const std::vector<std::string>& written,
                                     const std::string& reason)
    {
        std::string message = "Failed to save the settings";
        if (!written.empty()) {
            message = "Failed to set data for ";
            for (std::size_t i = 0; i < written.size(); ++i) {
                message += (i == 0 ? "'" : ", '") + written[i] + "'";
            }
        }
        return TRegistryError(message + " (" + reason + ")",
                              written.empty() ? std::string() : written.front());
    }

    const TRegistryTree& View() { return Working != nullptr ? *Working : Snapshot(); }

    void Change(const std::function<void(TRegistryTree&)>& change)
    {
        if (Working != nullptr) {
            change(*Working);
        } else {
            Update(change);
        }
    }

    const TRegistryValue* Find(std::string_view name)
    {
        const auto& tree = View();
        const auto key = tree.find(CurrentKey);
        if (CurrentKey.empty() || key == tree.end()) {
            return nullptr;
        }
        const auto value = key->second.find(name);
        return value == key->second.end() ? nullptr : &value->second;
    }

    template <typename T> std::optional<T> ReadAs(std::string_view name)
    {
        const TRegistryValue* value = Find(name);
        if (value == nullptr) {
            return std::nullopt;
        }
        if (const T* typed = std::get_if<T>(value)) {
            return *typed;
        }
        throw TRegistryError("Invalid data type for '" + std::string(name) + "'",
                             std::string(name));
    }

    void Write(std::string_view name, TRegistryValue value)
    {
        const std::string key = CurrentKey;
        const std::string valueName(name);
        try {
            if (key.empty()) {
                throw std::runtime_error("no key is open");
            }
            if (!IsValidValueName(valueName)) {
                throw std::runtime_error("the name is too long");
            }
            Change([&](TRegistryTree& tree) { AddKey(tree, key)->second[valueName] = value; });
        } catch (const std::exception& error) {
            throw TRegistryError(
                "Failed to set data for '" + valueName + "' (" + error.what() + ")", valueName);
        }
        if (Written != nullptr &&
            std::find(Written->begin(), Written->end(), valueName) == Written->end()) {
            Written->push_back(valueName);
        }
    }

    std::string CurrentKey;
    TRegistryTree* Working = nullptr;
    std::vector<std::string>* Written = nullptr;
};

} // namespace statlume::platform
