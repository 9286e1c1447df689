#pragma once
// The "Send Record To:" and "Send List To:" submenus and where their sends
// go: one item per remembered send-to host of the settings, then "Other
// Computer...", whose host is asked for and remembered once the send has
// started.
#include <functional>

class wxMenu;
class wxWindow;
struct NetworkAddress;
namespace net {
class Server;
}

// The server whose senders the send commands start: the application's,
// installed at start-up; null (the default) makes every send do nothing.
void SetSendServer(net::Server* server);
net::Server* GetSendServer();

// One item per remembered host, in their order: id firstId + its index, the
// label "host:port" (mnemonics escaped), the help `helpPrefix` followed by
// the label; then the item otherId with its command's label and help.
void AppendSendToItems(wxMenu* submenu, int firstId, int otherId, const char* helpPrefix);

// Remembered host `index`; null when there is none (or no settings).
const NetworkAddress* RememberedHost(int index);

// Asks for a host with the host name dialog (parent `parent`, through the
// dialog manager); after OK sends to it with `send`, then remembers it.
void SendToOtherComputer(wxWindow* parent, const std::function<void(const NetworkAddress& to)>& send);
