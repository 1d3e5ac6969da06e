// The status's texts and priority.
#include "form/Status.h"

namespace orvane {

std::string StatusCaption(const Status& status) {
    switch (status.kind) {
        case Status::Kind::Blank: return {};
        case Status::Kind::Online: return "Online";
        case Status::Kind::Offline: return "Offline";
        case Status::Kind::Error: return "Errore #" + std::to_string(status.errorNumber);
    }
    return {};
}

std::string StatusLine(const Status& status) {
    const std::string caption = StatusCaption(status);
    std::string line = status.address.empty() ? caption : caption + " " + status.address;
    // The shown address is the link's, or the one a public-address service answered.
    if (!status.address.empty() && !status.unroutable.empty()) {
        line += status.unroutable == status.address
                    ? " (non pubblico)"
                    : " (linea " + status.unroutable + " non pubblica)";
    }
    for (std::size_t i = 0; i < status.targets.size(); ++i)
        line += (i == 0 ? "; " : ", ") + status.targets[i].name + " " + status.targets[i].outcome;
    return line;
}

Priority PriorityOf(const Status& status) {
    switch (status.kind) {
        case Status::Kind::Blank:
        case Status::Kind::Online: return Priority::Info;
        case Status::Kind::Offline: return Priority::Warning;
        case Status::Kind::Error: return Priority::Error;
    }
    return Priority::Error;
}

}  // namespace orvane
