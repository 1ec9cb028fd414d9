#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
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

/// Every key by its full path below HKEY_CURRENT_USER ("Software\\Quorvale\\Statlume"),
/// parents included.
using TRegistryTree = std::map<std::string, TRegistryValues, TNoCaseLess>;

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

    /// Makes path the key in use; creates it (and its parents) when canCreate is set.
    /// False when the key is missing and may not be created, or cannot be written.
    bool OpenKey(std::string_view path, bool canCreate)
    {
        const std::string key = NormalizePath(path);
        if (key.empty() || std::any_of(key.begin(), key.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20;
            })) {
            return false;
        }
        if (!Snapshot().contains(key)) {
            if (!canCreate) {
                return false;
            }
            try {
                Update([&key](TRegistryTree& tree) { AddKeyWithParents(tree, key); });
            } catch (const std::exception&) {
                return false;
            }
        }
        CurrentKey = key;
        return true;
    }

    /// Leaves the key in use; value operations then act on nothing.
    void CloseKey() { CurrentKey.clear(); }
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

    /// Stores an integer; throws TRegistryError when the write fails.
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
        Update([&](TRegistryTree& tree) {
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
        if (key.empty() || !Snapshot().contains(key)) {
            return false;
        }
        Update([&key](TRegistryTree& tree) { EraseKeyWithSubkeys(tree, key); });
        if (CurrentKey.size() >= key.size() && IsSameOrBelow(CurrentKey, key)) {
            CurrentKey.clear();
        }
        return true;
    }

    /// Names of the values of the key in use, in name order.
    std::vector<std::string> ValueNames()
    {
        std::vector<std::string> names;
        if (auto it = Snapshot().find(CurrentKey); it != Snapshot().end()) {
            for (const auto& [name, value] : it->second) {
                names.push_back(name);
            }
        }
        return names;
    }

    /// Names of the direct subkeys of the key in use, in name order.
    std::vector<std::string> SubkeyNames()
    {
        std::vector<std::string> names;
        for (const auto& [path, values] : Snapshot()) {
            if (path.size() > CurrentKey.size() + 1 && IsSameOrBelow(path, CurrentKey) &&
                path.find('\\', CurrentKey.size() + 1) == std::string::npos) {
                names.push_back(path.substr(CurrentKey.size() + 1));
            }
        }
        return names;
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

    /// Adds key and every parent of it to the tree.
    static void AddKeyWithParents(TRegistryTree& tree, const std::string& key)
    {
        for (std::size_t pos = key.find('\\'); pos != std::string::npos;
             pos = key.find('\\', pos + 1)) {
            tree.try_emplace(key.substr(0, pos));
        }
        tree.try_emplace(key);
    }

    /// Removes key and every key below it.
    static void EraseKeyWithSubkeys(TRegistryTree& tree, const std::string& key)
    {
        std::erase_if(tree, [&key](const auto& entry) { return IsSameOrBelow(entry.first, key); });
    }

protected:
    /// The current tree of keys and values (a cached copy for file backends).
    virtual const TRegistryTree& Snapshot() = 0;
    /// Applies change to the stored tree; throws std::exception when it cannot be stored.
    virtual void Update(const std::function<void(TRegistryTree&)>& change) = 0;

private:
    static bool IsSameOrBelow(std::string_view path, std::string_view key)
    {
        if (path.size() < key.size() || TNoCaseLess{}(path.substr(0, key.size()), key) ||
            TNoCaseLess{}(key, path.substr(0, key.size()))) {
            return false;
        }
        return path.size() == key.size() || path[key.size()] == '\\';
    }

    const TRegistryValue* Find(std::string_view name)
    {
        const auto& tree = Snapshot();
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
                throw std::runtime_error("no key open");
            }
            Update([&](TRegistryTree& tree) {
                AddKeyWithParents(tree, key);
                tree[key][valueName] = value;
            });
        } catch (const std::exception&) {
            throw TRegistryError("Failed to set data for '" + valueName + "'", valueName);
        }
    }

    std::string CurrentKey;
};

} // namespace statlume::platform
