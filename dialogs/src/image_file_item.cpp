#include "image_file_item.h"

#include <cwctype>

namespace {

bool StartsWithNoCase(const std::wstring& name, const wchar_t* prefix)
{
    for (size_t i = 0; prefix[i]; ++i)
        if (i >= name.size() || std::towupper(name[i]) != std::towupper(prefix[i]))
            return false;
    return true;
}

// "B261210001.jpg": the camera's own names, whose number starts with the
// year, so from 2010 on the "B0" prefix alone no longer finds them.
bool IsShellPictureName(const std::wstring& name)
{
    if (name.size() != 14)
        return false;
    for (size_t i = 1; i <= 9; ++i)
        if (name[i] < L'0' || name[i] > L'9')
            return false;
    return StartsWithNoCase(name.substr(10), L".jpg");
}

}  // namespace

ImageFileItem& ImageFileItem::operator=(const ImageFileItem& other)
{
    if (this != &other) {
        m_path = other.m_path;
        m_name = other.m_name;
        m_type = other.m_type;
        m_fileTime = other.m_fileTime;
        m_fileSize = other.m_fileSize;
        m_visible = other.m_visible;
        m_current = other.m_current;
        m_marked = other.m_marked;
    }
    return *this;
}

ImageFileItem::Type ImageFileItem::KindOfName(const std::wstring& name)
{
    if (StartsWithNoCase(name, L"D0"))
        return TYPE_DOCUMENT;
    if (StartsWithNoCase(name, L"B0"))
        return TYPE_CARD;
    if (IsShellPictureName(name)) {
        wint_t first = std::towupper(name[0]);
        if (first == L'B')
            return TYPE_CARD;
        if (first == L'D')
            return TYPE_DOCUMENT;
    }
    if (name.empty() || name == L"..")
        return TYPE_NONE;
    // Folders are typed by the scan; every other name is a file.
    return TYPE_OTHER;
}

void ImageFileItem::SetName(const std::wstring& name)
{
    m_name = name;
    m_type = KindOfName(name);
}

bool ImageFileItem::PassesFilter(std::int32_t mode) const
{
    if (mode == 1)
        return m_type == TYPE_CARD || m_type == TYPE_NONE;
    if (mode == 2)
        return m_type == TYPE_DOCUMENT || m_type == TYPE_NONE;
    return true;
}
