// Shared helpers of the widget suites (filled in as the windows grow).
