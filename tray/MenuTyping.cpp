#include "tray/MenuTyping.h"

bool answersTo(wchar_t initial, wchar_t typed) {
    return initial && CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE | NORM_IGNOREWIDTH, &initial, 1,
                                     &typed, 1) == CSTR_EQUAL;
}

LRESULT typedCharAnswer(wchar_t typed, const std::vector<TypedItem>& items, int selected) {
    if (!IsCharAlphaNumericW(typed))
        return 0;
    std::vector<int> matches;
    for (int i = 0; i < static_cast<int>(items.size()); ++i)
        if (items[i].window && answersTo(items[i].initial, typed))
            matches.push_back(i);
    if (matches.empty())
        return 0;
    if (matches.size() == 1)
        return MAKELRESULT(matches.front(), MNC_EXECUTE);
    for (int position : matches)
        if (position > selected)
            return MAKELRESULT(position, MNC_SELECT);
    return MAKELRESULT(matches.front(), MNC_SELECT);
}
