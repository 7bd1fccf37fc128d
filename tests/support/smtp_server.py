# A real SMTP server for the tests, on loopback at a free port: it prints the port, then stores
# every message it receives in the maildir named by its argument until it is stopped. It refuses
# senders and recipients at refused.example, as a server refuses an address it does not know.
import asyncio
import sys

from aiosmtpd.handlers import Mailbox
from aiosmtpd.smtp import SMTP


class Handler(Mailbox):
    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if address.endswith("@refused.example"):
            return "553 5.7.1 <%s>: Sender address rejected: not ours" % address
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.endswith("@refused.example"):
            return "550 5.1.1 <%s>: Recipient address rejected: no such user" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"


async def main():
    loop = asyncio.get_running_loop()
    handler = Handler(sys.argv[1])
    # Room for the largest data files the tests export (aiosmtpd refuses more than 32 MiB).
    server = await loop.create_server(
        lambda: SMTP(handler, data_size_limit=256 * 1024 * 1024), "127.0.0.1", 0
    )
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


asyncio.run(main())
