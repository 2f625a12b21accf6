"""The exception of the package, apart from the extension so that the extension can raise it."""


class Error(ValueError):
    """A failure of a read, write or check, as the C++ library reports it (mac2mod::error).

    message: the text the command-line programs print for it (line ends included; str(e) is
    the same without the last line end); status: the exit status they end with; file: the file
    at fault ("" when none); offset: the byte offset in it (-1 when unknown); line and column:
    1-based in a text file (0 when unknown).
    """

    def __init__(self, message, status=1, file="", offset=-1, line=0, column=0):
        super().__init__(message.rstrip("\n"))
        self.message = message
        self.status = status
        self.file = file
        self.offset = offset
        self.line = line
        self.column = column

    def __reduce__(self):
        return (type(self), (self.message, self.status, self.file, self.offset, self.line, self.column))
