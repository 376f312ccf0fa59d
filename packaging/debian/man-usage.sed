# help2man fills the usage lines of --help into one paragraph; keep them one a line.
/^\.SS "Usage:"$/,/^\.PP$/{
s/^\.IP$/.nf/
s/^\.PP$/.fi\
.PP/
}
