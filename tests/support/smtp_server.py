# A real SMTP server for the tests, on loopback at a free port: it prints the port, then stores
# every message it receives in the maildir named by its argument until it is stopped.
import asyncio
import sys

from aiosmtpd.handlers import Mailbox
from aiosmtpd.smtp import SMTP


async def main():
    loop = asyncio.get_running_loop()
    handler = Mailbox(sys.argv[1])
    # Room for the largest data files the tests export (aiosmtpd refuses more than 32 MiB).
    server = await loop.create_server(
        lambda: SMTP(handler, data_size_limit=256 * 1024 * 1024), "127.0.0.1", 0
    )
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


asyncio.run(main())
