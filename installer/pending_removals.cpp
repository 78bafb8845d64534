#include "installer/pending_removals.h"

namespace {

// A stretch of characters; only what needs no run time of the C++ library.
template <typename Char>
struct Span {
    const Char* begin;
    const Char* end;
    size_t size() const { return size_t(end - begin); }
    bool empty() const { return begin == end; }
};

template <typename Char>
Span<Char> nulEnded(const Char* text)
{
    const Char* end = text;
    while (*end)
        ++end;
    return {text, end};
}

template <typename Char>
Char lowerAscii(Char c)
{
    return c >= 'A' && c <= 'Z' ? Char(c - 'A' + 'a') : c;
}

template <typename Char>
bool sameIgnoringCase(Span<Char> a, Span<Char> b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a.begin[i]) != lowerAscii(b.begin[i]))
            return false;
    return true;
}

template <typename Char>
bool sameIgnoringCase(Span<Char> a, const char* ascii)
{
    size_t i = 0;
    for (; ascii[i]; ++i)
        if (i == a.size() || lowerAscii(a.begin[i]) != Char(lowerAscii(ascii[i])))
            return false;
    return i == a.size();
}

// The NT family names a file to its restart work in its own form, "\??\C:\...".
template <typename Char>
Span<Char> withoutNtPrefix(Span<Char> path)
{
    const char prefix[] = "\\??\\";
    for (size_t i = 0; i < 4; ++i)
        if (i == path.size() || path.begin[i] != Char(prefix[i]))
            return path;
    return {path.begin + 4, path.end};
}

template <typename Char>
bool namesOneOf(Span<Char> path, const Char* ownNames)
{
    path = withoutNtPrefix(path);
    for (const Char* name = ownNames; *name;) {
        Span<Char> own = nulEnded(name);
        if (sameIgnoringCase(path, withoutNtPrefix(own)))
            return true;
        name = own.end + 1;
    }
    return false;
}

template <typename Char>
Span<Char> trimmed(Span<Char> text)
{
    while (!text.empty() && (*text.begin == ' ' || *text.begin == '\t'))
        ++text.begin;
    while (!text.empty() && (text.end[-1] == ' ' || text.end[-1] == '\t'))
        --text.end;
    return text;
}

template <typename Char>
const Char* find(Span<Char> text, Char c)
{
    const Char* at = text.begin;
    while (at != text.end && *at != c)
        ++at;
    return at;
}

template <typename Char>
Char* copied(Span<Char> text, Char* to)
{
    for (const Char* at = text.begin; at != text.end; ++at)
        *to++ = *at;
    return to;
}

// The next string of a multi-string and where the one after it starts; a
// last string without its NUL ends with the list.
Span<char16_t> nextString(const char16_t*& at, const char16_t* end)
{
    Span<char16_t> string{at, find(Span<char16_t>{at, end}, u'\0')};
    at = string.end == end ? end : string.end + 1;
    return string;
}

size_t stringCount(const char16_t* list, const char16_t* end)
{
    size_t count = 0;
    for (const char16_t* at = list; at != end; nextString(at, end))
        ++count;
    return count;
}

}  // namespace

KeptWork withoutPendingDeletions(const char16_t* list, size_t length, const char16_t* ownNames, char16_t* kept)
{
    const char16_t* end = list + length;
    size_t count = stringCount(list, end);
    // The list's closing NUL reads as one more, empty string.
    if (count % 2 == 1 && length > 0 && end[-1] == u'\0' && (length == 1 || end[-2] == u'\0'))
        --count;
    if (count % 2 == 1)
        return {size_t(copied(Span<char16_t>{list, end}, kept) - kept), false};
    char16_t* out = kept;
    bool removed = false;
    const char16_t* at = list;
    for (size_t pair = 0; pair < count / 2; ++pair) {
        Span<char16_t> source = nextString(at, end);
        Span<char16_t> target = nextString(at, end);
        if (target.empty() && namesOneOf(source, ownNames)) {
            removed = true;
            continue;
        }
        out = copied(source, out);
        *out++ = u'\0';
        out = copied(target, out);
        *out++ = u'\0';
    }
    if (out != kept)
        *out++ = u'\0';
    return {size_t(out - kept), removed};
}

KeptWork wininitWithoutDeletions(const char* text, size_t length, const char* ownNames, char* kept)
{
    const char* end = text + length;
    char* out = kept;
    bool inRename = false, removed = false;
    for (const char* at = text; at != end;) {
        const char* lineEnd = find(Span<char>{at, end}, '\n');
        Span<char> line{at, lineEnd == end ? end : lineEnd + 1};
        at = line.end;
        Span<char> content = {line.begin, line.end};
        while (!content.empty() && (content.end[-1] == '\n' || content.end[-1] == '\r'))
            --content.end;
        content = trimmed(content);
        if (!content.empty() && *content.begin == '[') {
            const char* close = find(content, ']');
            inRename = close != content.end &&
                       sameIgnoringCase(trimmed(Span<char>{content.begin + 1, close}), "rename");
        } else if (inRename) {
            const char* equals = find(content, '=');
            if (equals != content.end && sameIgnoringCase(trimmed(Span<char>{content.begin, equals}), "NUL") &&
                namesOneOf(trimmed(Span<char>{equals + 1, content.end}), ownNames)) {
                removed = true;
                continue;
            }
        }
        out = copied(line, out);
    }
    return {size_t(out - kept), removed};
}
