#include "display/help_page.h"

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace statlume {
namespace {

constexpr std::array<std::string_view, 23> PageLines = {
    "<HTML><HEAD><TITLE>Statlume Network Configuration</TITLE><BODY bgColor=#ffffff>"
    "<H4>Basic Network Setup</H4>",
    "Statlume can also be configured to monitor remote computers real-time over a LAN or the "
    "internet. To minimize the amount of network traffic the application generates, the update "
    "interval is by default twice the value of a local client.",
    " If you want to run Statlume in Client/Server mode, just follow these two easy steps:<P>",
    "<UL><LI>On the server, select \"Act as Server\" from the menu and enter the port number on "
    "which Statlume should communicate. If you don't know what this means leave the default "
    "setting alone. A machine without a desktop runs <TT>statlume-cli --serve</TT> instead.",
    " You may also enter a password if you want to secure your connection.",
    "<LI>On the client, start Statlume using this syntax: <BR><BR><FONT "
    "face=\"Courier New,Courier,Monaco\">statlume -c -i<I>ip-of-server</I> "
    "-p<I>port-number</I> -d<I>password</I></FONT> </LI></UL>",
    "<H4>Explanation:</H4> <TABLE cellSpacing=2 cellPadding=0 border=0>",
    "<TR><TD>-c</TD><TD>indicates Statlume should start in client mode</TD></TR>",
    "<TR><TD>-i</TD><TD>indicates the IP address that the Statlume server is running on. Note: "
    "DNS name works too now.</TD></TR>",
    "<TR><TD>-p</TD><TD>indicates the port that the server is using</TD></TR>",
    "<TR><TD>-d</TD><TD>the password will prevent unauthorized connections and encrypt the "
    "data</TD></TR>",
    "</TABLE><P>So if the server has IP address 10.11.12.13 and uses port 6130 (the default) "
    "your command line will be:",
    "<BLOCKQUOTE><FONT face=\"Courier New,Courier,Monaco\">statlume -c -i10.11.12.13 "
    "-p6130</FONT></BLOCKQUOTE>The console program takes the same switches: <TT>statlume-cli "
    "-c -i10.11.12.13 -p6130</TT><BR>",
    "<B>Firewall Configuration:</B><BR>",
    "For servers behind a NAT router, be sure to use the public IP address and of course to "
    "forward the port to the Statlume server.",
    "In case you want to monitor your system when you are behind a",
    "firewall, or want the figures to cross the internet encrypted, run the client through",
    "an SSH tunnel to the server's machine: <BLOCKQUOTE><FONT "
    "face=\"Courier New,Courier,Monaco\">ssh -N -L 6130:localhost:6130 <I>user@server</I>",
    "</FONT></BLOCKQUOTE>and, while it runs, <TT>statlume -c -ilocalhost -p6130</TT>. The",
    "server can then listen on its own loopback address only (<TT>statlume-cli --serve",
    "--bind 127.0.0.1</TT>), so nothing else reaches its port.",
    "<P>More in the manual pages: <TT>man statlume</TT> and <TT>man statlume-cli</TT>.",
};

std::string SystemMessage(const std::string& what, const std::string& path)
{
    return "Cannot write the help page '" + path + "' (" + what + ": " + std::strerror(errno) +
           ").";
}

} // namespace

std::string HelpPageText()
{
    std::string text;
    for (const std::string_view line : PageLines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::string HelpPageFolder(const std::optional<std::string>& tempValue,
                           const std::string& userFolder)
{
    return tempValue && !tempValue->empty() ? *tempValue : userFolder;
}

THelpPageResult WriteHelpPage(const std::string& folder)
{
    THelpPageResult result;
    const std::string path = folder + "/" + std::string(HelpPageFileName);
    // Built first: nothing may throw while the descriptor below has no owner.
    const std::string text = HelpPageText();
    std::string tempPath = path + ".XXXXXX";
    const int fd = ::mkostemp(tempPath.data(), O_CLOEXEC);
    if (fd < 0) {
        result.Error = SystemMessage("create", path);
        return result;
    }
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            result.Error = SystemMessage("write", path);
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && result.Ok()) {
        result.Error = SystemMessage("write", path);
    }
    // rename replaces whatever sits at the name, a link included, without following it.
    if (result.Ok() && ::rename(tempPath.c_str(), path.c_str()) != 0) {
        result.Error = SystemMessage("rename", path);
    }
    if (!result.Ok()) {
        ::unlink(tempPath.c_str());
        return result;
    }
    result.Path = path;
    return result;
}

} // namespace statlume
