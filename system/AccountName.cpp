#include "app/CDataStoreQuery.h"
#include "platform/Accounts.h"

std::u16string CDataStoreQuery::AccountNameFromSid(const std::u16string& sidText) const {
    std::u16string domain;
    std::u16string name;
    if (!platform::LookupAccount(sidText, domain, name)) {
        return u"No user found";
    }
    // One backslash on every system: it is the label's form, not a path.
    return domain + u'\\' + name;
}
