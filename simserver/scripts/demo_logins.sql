-- Logins of the demo databases (server-wide, so created once, in master).
if not exists (select 1 from master..syslogins where name = "alice")
    execute sp_addlogin alice, "alice123", ostrimdemo
go
if not exists (select 1 from master..syslogins where name = "bob")
    execute sp_addlogin bob, "bob12345", ostrimdemo
go
if not exists (select 1 from master..syslogins where name = "carol")
    execute sp_addlogin carol, "carol123", ostrimdemo2
go
