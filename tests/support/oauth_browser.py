#!/usr/bin/python3
# A stand-in browser for the sign-in tests, started as "xdg-open URL": it
# opens the authorization page (trusting the CA in $QUILLET_TEST_CA), where
# the test server grants at once, follows the redirect to Quillet's loopback
# address, and appends the page Quillet answered with to
# $QUILLET_TEST_BROWSER_LOG.
import os
import ssl
import sys
import urllib.request

ctx = ssl.create_default_context(cafile=os.environ["QUILLET_TEST_CA"])
opener = urllib.request.build_opener(urllib.request.HTTPSHandler(context=ctx))
try:
    page = opener.open(sys.argv[1], timeout=30).read().decode()
except Exception as e:
    page = "failed: %s" % e
with open(os.environ["QUILLET_TEST_BROWSER_LOG"], "a") as f:
    f.write(page + "\n")
