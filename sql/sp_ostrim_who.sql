-- Ostrim: the process list of the process monitor.
-- Install in sybsystemprocs:  isql -U sa -D sybsystemprocs -i sp_ostrim_who.sql
-- Usage: execute sp_ostrim_who
-- Columns by position: spid, status, login name, host name, blocking spid, database, command.
if object_id("sp_ostrim_who") is not null
    drop procedure sp_ostrim_who
go
create procedure sp_ostrim_who as
select spid = convert(char(5), p.spid),
    status = convert(char(12), p.status),
    loginame = convert(char(10), suser_name(p.suid)),
    hostname = convert(char(10), p.hostname),
    blk = convert(char(5), p.blocked),
    dbname = convert(char(15), db_name(p.dbid)),
    cmd = convert(char(20), p.cmd)
from master..sysprocesses p
order by p.spid
return 0
go
