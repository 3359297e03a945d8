"""ssdtest-report: pictures of the tester's result logs in one HTML page."""
